#pragma once

#include <cstdint>

#include "dsp/signal_component.h"

// Frequency-warped lattice filters: every unit delay of the classic lattice is
// the all-pass D(z) = (z^-1 - warp) / (1 - warp z^-1). The base holds the
// coefficient sets and their glide; per `updateCoefficients` call
//   warp += (targetWarp - warp) (1 - 0.95),  resonance likewise,
//   current[i] = smoothing current[i] + (1 - smoothing) resonance target[i].
// `storage` holds target, current, stateA and stateB inline (100 entries each)
// and the four pointers address it; `sign` is applied to every loaded coefficient.
//
// Thread contract: `process`, `reset`, the loading operations and
// `updateCoefficients` run on the audio thread. `setSmoothingTime` runs on the
// UI thread; it writes `smoothing`, one double written whole, which the audio
// thread reads in `updateCoefficients`.
class WarpedLatticeFilter : public SignalComponent {
public:
    static constexpr int32_t kMaxStages = 100;
    static constexpr double kDither = 1e-13;
    static constexpr double kInitialResonance = 0.95;

    WarpedLatticeFilter() = default;
    // The pointers address this object's own storage: a copy would share the
    // original's arrays, so there is none.
    WarpedLatticeFilter(const WarpedLatticeFilter&) = delete;
    WarpedLatticeFilter& operator=(const WarpedLatticeFilter&) = delete;

    void reset() override;

    // current[i] = sign * values[i] without a stability test, then the targets
    // are loaded as by `setTargetCoefficients`.
    virtual void setCoefficientsNow(const double* values, int32_t count);
    // target[i] = sign * values[i] where |values[i]| < 1; other targets stay.
    virtual void setTargetCoefficients(const double* values, int32_t count);
    // As above, reading values[(i + b) mod count] with b = trunc(count * rotation);
    // the stability test looks at values[i], the entry at the destination index.
    virtual void setTargetCoefficientsRotated(const double* values, int32_t count, float rotation);
    virtual void updateCoefficients(double targetWarp, double targetResonance) = 0;

    // [ui thread] The distance between current and target halves after
    // time * sampleRate calls of `updateCoefficients`; time <= 0 means no glide.
    void setSmoothingTime(double time);

    double storage[4][kMaxStages] = {};
    double* target = storage[0];          // coefficients the glide aims at
    double* current = storage[1];         // coefficients in use
    double* stateA = storage[2];          // filter state
    double* stateB = storage[3];          // filter state
    double warp = 0.0;                    // all-pass coefficient in use
    double smoothing = 0.0;               // retention of the coefficient glide per update
    double warpGain = 1.0;                // 1 - warp^2 (synthesis only)
    double gainCompensation = 1.0;        // G, resolves the synthesis filter's delay-free loop
    double dither = kDither;              // +-1e-13, flipped every synthesis sample
    double resonance = kInitialResonance; // scale applied to the targets in the glide
    int32_t stages = 0;                   // N, coefficients in use
    bool bufferToggle = true;             // synthesis: true when stateA holds the previous state
    double sign = 1.0;                    // factor applied to every loaded coefficient
};

// All-zero (whitening) lattice. Per stage i, with e and u both starting at x:
//   v = warp (stateA[i] - u) + stateB[i]    (D applied to u; stateA = its last output, stateB = last input)
//   u' = v + current[i] e,  e' = e + current[i] v
// The output is e after the last stage; with no stages it is the input.
class WarpedLatticeInverse final : public WarpedLatticeFilter {
public:
    static constexpr double kGlideRetention = 0.95;

    double process(double input) override;
    void updateCoefficients(double targetWarp, double targetResonance) override;

    // [audio thread] Both channels' filters side by side, two-wide: x1 through
    // `first`, x2 through `second`, in place. Each channel's operations run in
    // the order of `process`, so the results and states are bit for bit those of
    // first.process(x1), second.process(x2). Filters with different stage counts
    // (or one filter given twice) take exactly that per-object path.
    static void processPair(WarpedLatticeInverse& first, WarpedLatticeInverse& second, double& x1,
                            double& x2);
};

// All-pole lattice, the inverse of the above when loaded with the same array
// (its sign is -1). The loop through stage 0 has no delay, so the output is
// y = G (x + t), with t gathered from the previous state and G precomputed from
// the coefficients in `updateCoefficients`. The state is double-buffered:
// stateA and stateB swap the roles of previous and new every sample.
class WarpedLatticeSynthesis final : public WarpedLatticeFilter {
public:
    // The glide of this filter runs with 0.95 rounded to single precision.
    static constexpr double kGlideRetention = static_cast<double>(0.95f);

    WarpedLatticeSynthesis() { sign = -1.0; }

    double process(double input) override;
    void updateCoefficients(double targetWarp, double targetResonance) override;

    // [audio thread] As WarpedLatticeInverse::processPair, for the synthesis.
    static void processPair(WarpedLatticeSynthesis& first, WarpedLatticeSynthesis& second, double& x1,
                            double& x2);
    // [audio thread] first.updateCoefficients(warp1, resonance1) and
    // second.updateCoefficients(warp2, resonance2) side by side, bit for bit.
    static void updateCoefficientsPair(WarpedLatticeSynthesis& first, WarpedLatticeSynthesis& second,
                                       double warp1, double resonance1, double warp2, double resonance2);
};
