#pragma once

// What the validation battery shares: a reproducible random source, the test
// signals, hostile parameter values and the output bound.
//
// The bound. Per sample and channel the engine outputs (in + m (w - in)) G with
// G = Out^4 and m = Mix, both held to 0..1, so |out| <= G ((1 - m) |in| + m |w|):
// a mix of the dry input and the wet signal w, never more than the larger of
// the two. The feedback return is clipped to +-1 and the input is full scale,
// so the chain's input is at most 2 before the saturation and 4.4 after it
// (1.8 x - x^3 at x = 2). The wet signal is that input through the A section,
// the decimator and the S section. Their coefficients stay below 1 in
// magnitude (the analyser's regularisation and the lattices' target test see
// to it), so each setting is a stable filter, but its gain has no useful
// closed bound (up to the product of 1 + |k| over 70 stages for the A section
// alone), and warps and coefficients change every 8 samples. So kWetBound is
// measured. Hill climbing over static settings found at most 1.06e5 (full-scale
// noise, 70 stages, both warps and "A Res" at 1, 16-sample analysis blocks; the
// same after 3 s and 20 s, so a gain, not a growth); random searches over
// 3.4e9 samples of hostile automation found at most 6.9e4 and nothing
// non-finite; automation with the random LFO shapes (whose normalised tables
// can reach far below -1 and throw every target it drives from one clamp to
// the other) reached 1.1e6. The bound allows about a hundred times that, and
// stays far below the float range that a runaway lattice would reach within a
// few blocks.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace battery {

// The battery's fixed seed; a failure names the iteration to replay.
constexpr std::uint64_t kSeed = 0x5eedba77e4ull;

// The largest wet-signal magnitude the battery accepts.
constexpr double kWetBound = 1.0e8;

// Parameter indices the battery treats specially.
constexpr int kParameterCount = 56;
constexpr int kFilterType = 18;
constexpr int kDelaySync = 21;
constexpr int kLfo1Shape = 25;
constexpr int kLfo1Sync = 26;
constexpr int kLfo2Shape = 30;
constexpr int kLfo2Sync = 31;
constexpr int kOut = 53;
constexpr int kMix = 54;
// The LFO shapes whose tables are drawn from a generator seeded by the clock.
constexpr int kSampleAndHoldShape = 6;
constexpr int kRandomShape = 7;

// A small generator with a fully specified sequence (splitmix64), so runs are
// the same with every standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // 0 <= result < n
    std::uint32_t below(std::uint32_t n) { return static_cast<std::uint32_t>(next() % n); }
    // lo <= result <= hi
    int between(int lo, int hi) {
        return lo + static_cast<int>(below(static_cast<std::uint32_t>(hi - lo + 1)));
    }
    // 0 <= result < 1
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    bool chance(double p) { return unit() < p; }

private:
    std::uint64_t state;
};

enum class SignalKind { Silence, Noise, Dc, Square, Sine };
const char* signalName(SignalKind kind);

// A stereo test signal, continuous across blocks. Every sample lies in -1..1.
class SignalSource {
public:
    // Picks a new kind, level and period.
    void choose(Random& random);
    void fill(float* left, float* right, int frames);
    SignalKind kind() const { return kind_; }
    std::string describe() const;

private:
    SignalKind kind_ = SignalKind::Noise;
    double level = 1.0;
    double period = 100.0; // samples, squares and sines
    double phase = 0.0;
    bool opposite = false; // DC: the channels at opposite signs
    std::uint64_t noiseState = 1;
};

// A value a host might send for this parameter: ordinary values, the ends of
// the range, values outside it, list indices across and beyond their lists,
// extreme magnitudes and (rarely) values that are not numbers.
float hostileValue(Random& random, int index);

// Whether a shape value would select a table drawn from the clock-seeded
// generator (the setter truncates values in 0..8).
inline bool isRandomShape(float value) {
    if (!(value >= 0.0f && value < 8.0f)) {
        return false;
    }
    const int shape = static_cast<int>(value);
    return shape == kSampleAndHoldShape || shape == kRandomShape;
}

// The held-to-range value the engine reads.
inline double unitClamp(float v) {
    return v <= 0.0f ? 0.0 : (v >= 1.0f ? 1.0 : static_cast<double>(v));
}

// The largest |output| the engine may produce for this sample, given the
// stored "Out" and "Mix" values and the dry input sample (non-finite input
// samples enter the chain as 0).
inline double outputBound(float outValue, float mixValue, float input) {
    const double o = unitClamp(outValue);
    const double g = o * o * o * o;
    const double m = unitClamp(mixValue);
    const double dry = std::isfinite(input) ? std::fabs(static_cast<double>(input)) : 0.0;
    const double bound = g * ((1.0 - m) * dry + m * kWetBound);
    // The output is computed in double and rounded to float once.
    return bound * (1.0 + 1e-6) + 1e-30;
}

} // namespace battery
