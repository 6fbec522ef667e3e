#pragma once

// What the processing host renders: the settings, the host transport each
// runs under, the host rates, and the input. Everything here must come out
// bit for bit the same on every platform, so the input is made with exactly
// rounded arithmetic only (no library sine or exponential, whose last bits
// differ between C libraries), and the block sizes from a generator of our own.

#include <cstdint>
#include <utility>
#include <vector>

#include "common/parameter_table.h"

namespace phost {

struct Transport {
    double tempo = 120.0;
    double startBeat = 0.0;
};

struct Setting {
    const char* name;
    Transport transport;
    std::vector<std::pair<int, float>> values;
    // Whether every build must give the same bytes; otherwise the same
    // output within kLibraryTolerance of full scale.
    bool exact = true;
};

// Where the limiter reduces gain it computes pow and log10 every sample, and
// their last bits differ between C libraries (glibc, mingw-w64's, Wine's and
// Windows' msvcrt) and even between glibc's code for CPUs with and without
// FMA. Such runs match to about 1e-7; faults of the build (rates, blocks,
// host time, precision) show as far larger differences.
constexpr double kLibraryTolerance = 1e-5;

constexpr double kRunSeconds = 3.0;
constexpr int kMaxBlock = 1024;
inline const int kRates[] = {44100, 48000, 96000};

// No random LFO shape anywhere: those draw their tables from the clock.
inline std::vector<Setting> processSettings() {
    using namespace param;
    std::vector<Setting> settings;
    settings.push_back({"factory", {}, {}});

    // The analysis without warping: its lag sums and recursion run in the
    // x87's extended precision, and would come out different at the 53 bits a
    // Windows thread starts with (the precision guard is what this checks).
    settings.push_back(
        {"unwarped-analysis", {}, {{kAWarp, 0.0f}, {kStages, 1.0f}, {kBlockSize, 0.0738f}, {kMix, 1.0f}}});

    // The most work per sample: 70 stages over the shortest analysis blocks,
    // every route at an extreme, both LFOs, the feedback delay near its limit,
    // saturation, decimation and smoothing.
    Setting worst{"worst-case", {}, {{kStages, 1.0f}, {kBlockSize, 0.0738f}}};
    for (int route = kFirstRoute; route <= kLastRoute; ++route) {
        worst.values.push_back({route, (route - kFirstRoute) % 2 == 0 ? 1.0f : 0.0f});
    }
    worst.values.insert(worst.values.end(), {{kLfo1Shape, 0.0f},
                                             {kLfo2Shape, 5.0f},
                                             {kLfo1Freq, 0.5f},
                                             {kLfo2Freq, 0.3f},
                                             {kFeedback, 0.9f},
                                             {kDelay, 0.25f},
                                             {kSaturation, 0.7f},
                                             {kDecimation, 0.3f},
                                             {kSmoothing, 0.5f},
                                             {kMix, 1.0f}});
    worst.exact = false; // its limiter is at work
    settings.push_back(worst);

    // Host time at work: the delay synced to a dotted eighth, LFO 1 a beat
    // long on the analysis warp, LFO 2 a bar long on the cutoff, from the
    // middle of the second bar at 96 BPM.
    settings.push_back({"synced-modulation",
                        {96.0, 5.5},
                        {{kDelay, 0.3f},
                         {kDelaySync, 13.0f},
                         {kFeedback, 0.6f},
                         {kFilterType, 0.0f},
                         {kCutoff, 0.55f},
                         {kResonance, 0.35f},
                         {kLfo1Shape, 1.0f},
                         {kLfo1Sync, 4.0f},
                         {kLfo1Freq, 0.35f},
                         {kLfo1Stereo, 1.0f},
                         {routeIndex(kSourceLfo1, kTargetAWarp), 1.0f},
                         {kLfo2Shape, 2.0f},
                         {kLfo2Sync, 2.0f},
                         {kLfo2Freq, 0.16f},
                         {routeIndex(kSourceLfo2, kTargetCutoff), 0.75f},
                         {routeIndex(kSourceLfo2, kTargetSWarp), 0.2f},
                         {routeIndex(kSourceEnvelope, kTargetBufferRate), 0.6f},
                         {kSWarp, 0.7f},
                         {kMix, 0.8f}}});
    return settings;
}

// A linear congruential generator (Knuth's MMIX constants): the same numbers
// everywhere, unlike the standard library's distributions.
class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state(seed) {}
    std::uint32_t next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33);
    }

private:
    std::uint64_t state;
};

inline int framesOf(int rate) {
    return static_cast<int>(kRunSeconds * rate);
}

// A stereo test input: a sawtooth chord (detuned on the right), noise bursts
// on the beat grid decaying in a tenth of a second, and half a second of
// silence before the end, where the effect's tails ring out.
inline void makeInput(int rate, std::vector<float>& left, std::vector<float>& right) {
    const int frames = framesOf(rate);
    left.assign(static_cast<std::size_t>(frames), 0.0f);
    right.assign(static_cast<std::size_t>(frames), 0.0f);
    const double freqs[] = {110.0, 138.6, 164.8, 220.5};
    double phases[4] = {0.0, 0.25, 0.5, 0.75};
    Lcg noise(12345);
    double burst = 0.0;
    const int beat = rate / 4;
    for (int i = 0; i < frames - rate / 2; ++i) {
        if (i % beat == 0) {
            burst = 0.5;
        }
        burst *= 0.9995;
        double chordL = 0.0;
        double chordR = 0.0;
        for (int v = 0; v < 4; ++v) {
            phases[v] += freqs[v] / rate;
            if (phases[v] >= 1.0) {
                phases[v] -= 1.0;
            }
            const double saw = 2.0 * phases[v] - 1.0;
            (v % 2 == 0 ? chordL : chordR) += 0.12 * saw;
            (v % 2 == 0 ? chordR : chordL) += 0.05 * saw;
        }
        const double hiss = (static_cast<double>(noise.next() % 65536) - 32768.0) / 32768.0;
        left[static_cast<std::size_t>(i)] = static_cast<float>(chordL + burst * hiss);
        right[static_cast<std::size_t>(i)] = static_cast<float>(chordR - burst * hiss);
    }
}

} // namespace phost
