#pragma once

#include <cstdint>
#include <optional>

#include "dsp/signal_component.h"

// Table oscillator: one cycle of the shape lives in table[0..511], table[512]
// repeats table[0] so the interpolation never needs a wrap. The phase is a
// 29-bit fixed-point number (bits 20..28 table index, bits 0..19 fraction):
//   y = (1 - f) * table[phase >> 20] + f * table[(phase >> 20) + 1],  f = (phase & 0xFFFFF) * 2^-20
//   phase = (phase + increment) & 0x1FFFFFFF,  increment = trunc(frequency / sampleRate * 2^29)
// `frequency` is the rate as set (already scaled by the caller's multiplier), `interpolate`
// chooses linear interpolation over the nearest lower entry.
class WavetableLfo final : public SignalComponent {
public:
    static constexpr int kTableSize = 512;              // points in one cycle
    static constexpr int kTableLength = kTableSize + 1; // plus the guard point
    static constexpr int kFractionBits = 20;
    static constexpr std::uint32_t kFractionMask = (1u << kFractionBits) - 1u;
    static constexpr std::uint32_t kPhaseMask = 0x1FFFFFFFu;  // one cycle is 2^29 units
    static constexpr std::uint32_t kInitialIncrement = 12173; // 1 Hz at 44100 Hz
    static_assert(static_cast<std::uint32_t>(kTableSize) << kFractionBits == kPhaseMask + 1u);
    static_assert(static_cast<std::uint32_t>(1.0 / 44100.0 * (kPhaseMask + 1.0)) == kInitialIncrement);

    // Shape indices as the "LFO Shape" parameters store them.
    static constexpr std::int32_t kSinus = 0;
    static constexpr std::int32_t kTriangle = 1;
    static constexpr std::int32_t kSawUp = 2;
    static constexpr std::int32_t kSawDown = 3;
    static constexpr std::int32_t kSquare = 4;
    static constexpr std::int32_t kExponent = 5;
    static constexpr std::int32_t kSampleAndHold = 6;
    static constexpr std::int32_t kRandom = 7;
    static constexpr int kShapeCount = 8;
    static constexpr const char* kShapeNames[kShapeCount] = {"sinus",  "triangle", "saw up", "saw down",
                                                             "square", "exponent", "s & h",  "random"};

    // Integers 0..32767 from a linear congruential generator (multiplier 1103515245,
    // increment 12345, bits 16..30 of the state). Owned by each oscillator, so several
    // effect instances in one host never disturb each other's sequence.
    class RandomSource {
    public:
        void seed(std::uint32_t value) { state = value; }
        std::int32_t next() {
            state = state * 1103515245u + 12345u;
            return static_cast<std::int32_t>((state >> 16) & 0x7FFFu);
        }

    private:
        std::uint32_t state = 1;
    };

    WavetableLfo() = default;

    // [audio thread] Reads at the given phase in radians (0 <= phase < 2pi) and leaves the
    // stored phase one increment further. A phase outside that range is folded into the cycle.
    double process(double phaseRadians) override;
    // [audio thread]
    void reset() override;

    // [ui thread] Stores the index and rebuilds the table; the phase and the increment are kept.
    // Indices outside 0..7 leave the table as it was (only the guard point is rewritten).
    void setShape(std::int32_t index);
    // [audio thread] Read and advance; the engine calls it once per 8-sample control step.
    double tick();
    // [audio thread] Rate from the free frequency a (Hz), the sync grid value b (steps per beat;
    // below 1 runs free), the multiplier x, and the host's samples per beat, song position in
    // beats and sample rate. Synced: the period fs / a is rounded up to whole grid steps and the
    // phase is locked to the song position.
    void setRate(double a, double b, double x, std::int32_t samplesPerBeat, double ppq, double fs);

    // The "s & h" hold threshold: a draw r = 0..511 at or below it repeats the previous entry.
    static std::int32_t holdThreshold();

    std::int32_t shape = kSinus;
    double fractionScale = 1.0 / 1048576.0; // 2^-20
    double phaseScale = 1048576.0;          // 2^20
    double inverseTwoPi = 1.0 / (2.0 * 3.14159265358979323846);
    double table[kTableLength] = {}; // built by setShape; zero until then
    double frequency = 1.0;          // Hz, as last set [written by the audio thread only]
    std::uint32_t phase = 0;
    std::uint32_t increment = kInitialIncrement;
    bool interpolate = true;

    // The generator behind the random shapes, reseeded on every setShape from the wall clock
    // (seconds), or from fixedSeed when that is set (reproducible tables for tests and tools).
    RandomSource random;
    std::optional<std::uint32_t> fixedSeed;

private:
    double read(std::uint32_t at) const;
};
