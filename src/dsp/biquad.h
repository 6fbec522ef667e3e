#pragma once

#include <atomic>
#include <cstdint>

#include "dsp/signal_component.h"

// The record a biquad is designed from; the engine and the filter display
// fill it. gain is the linear A of the shelf and peaking designs, not dB.
struct FilterDesign {
    float frequency = 0.0f;       // f0 in Hz
    float q = 1.0f;               // Q, or the bandwidth in octaves in bandwidthMode
    float gain = 1.0f;            // A for types 5, 6 and 7
    float delayParameter = 1.0f;  // v, type 8 only
    bool bandwidthMode = false;   // alpha from a bandwidth in octaves instead of Q
    bool unitPeakBandpass = true; // type 2 peaks at 0 dB (true) or at Q (false)
};

// The coefficients of a design: the numerator b0..b2, the denominator a0..a2,
// and the five the filter runs with.
struct BiquadCoefficients {
    double b[3] = {};
    double a[3] = {};
    // b0, b1, b2, a1, a2 divided by a0: what the filter runs with.
    double normalized[5] = {};
};

// [any thread] The design of `record` as type 0..8 (below) at `sampleRate`;
// false, leaving `out` alone, for a type outside 0..8 and for a design that
// comes out non-finite. The filter display draws its curve from this too.
// (A filter passes the pi it stores, as every component does.)
bool designBiquad(int32_t type, const FilterDesign& record, double sampleRate, BiquadCoefficients& out,
                  double pi = 3.14159265358979323846);

// Second-order IIR filter in direct form I:
//   y = nb0 x + nb1 x1 + nb2 x2 - na1 y1 - na2 y2
// a0..a2, b0..b2 are the raw coefficients of the last accepted design and
// nb*, na* the same divided by a0. Types 0-7 are the audio-EQ cookbook
// lowpass, highpass, bandpass, band-stop, all-pass, low shelf, high shelf and
// peaking; type 8 is a second-order all-pass set by delayParameter. A fresh
// filter has all-zero coefficients and outputs silence until designed.
//
// Threads: any thread may design while the audio thread processes and
// retunes. A design is five coefficients, which the audio thread must never
// see half written. Design d is published in `published[d & 1]`,
// `designSequence` is 2d, and 2d + 1 while design d + 1 is written into the
// other slot; `process` runs on `running`, a copy of the last whole design,
// taken only when no writer touched that slot meanwhile. Designs exclude each
// other through `designing`, and nobody waits for it: a thread that finds it
// held (its holder may have been pre-empted in the middle of a design, for
// milliseconds) gives up and says so, and the caller tries again later.
class Biquad final : public SignalComponent {
public:
    static constexpr int32_t kTypeCount = 9;

    Biquad() = default;

    // [audio thread]
    double process(double input) override;
    // [audio thread] Clears the history and the last output; the coefficients
    // stay in force.
    void reset() override;
    // [any thread] a receives (a0, a1, a2), b receives (b0, b1, b2).
    virtual void getCoefficients(double a[3], double b[3]) const;

    enum class DesignOutcome {
        designed, // the new coefficients are in force
        refused,  // type and record stored, the previous coefficients stay (see design)
        busy,     // another thread is designing this filter: nothing changed
    };

    // [any thread; never waits] Stores the type and the record, then computes
    // the coefficients. Refused, leaving the previous coefficients in force,
    // for a type outside 0..8 and for a design that comes out non-finite
    // (peaking with gain 0, bandwidth mode at 0 Hz, Q 0, ...). The history is
    // kept, so a redesign takes effect on the running signal.
    DesignOutcome tryDesign(int32_t newType, const FilterDesign& record);
    // [any thread; never waits] tryDesign, true only when designed.
    bool design(int32_t newType, const FilterDesign& record) {
        return tryDesign(newType, record) == DesignOutcome::designed;
    }
    // [audio thread; never waits] design(type, the record with this frequency)
    // when the frequency differs from the record's; false, changing nothing,
    // when it does not or another thread is designing this filter.
    bool retune(float frequency);

    double a0 = 0.0;
    double a1 = 0.0;
    double a2 = 0.0;
    double b0 = 0.0;
    double b1 = 0.0;
    double b2 = 0.0;
    int32_t type = 0;
    FilterDesign designRecord;
    double nb0 = 0.0;
    double nb1 = 0.0;
    double nb2 = 0.0;
    double na1 = 0.0;
    double na2 = 0.0;
    double y1 = 0.0;
    double y2 = 0.0;
    double x1 = 0.0;
    double x2 = 0.0;

    std::atomic<std::uint32_t> designSequence{0}; // twice the designs made, plus one while writing
    std::atomic_flag designing;                   // set while a design writes
    double published[2][5] = {};                  // nb0, nb1, nb2, na1, na2 of the last two designs
    double running[5] = {};                       // the copy `process` uses
    std::uint32_t runningDesign = 0;              // which design `running` holds

private:
    bool designUnguarded(int32_t newType, const FilterDesign& record);
    void takeDesign(std::uint32_t sequence);
};
