#pragma once

#include <cstdint>

#include "dsp/signal_component.h"

// Linear-prediction analysis of one block into reflection coefficients.
// The block is windowed by w[i] = 0.5 - 0.49 cos(2 pi i / L), its (optionally
// frequency-warped) autocorrelation R[0..p] is normalised to R[0] = 1 and loaded
// by 0.0007 p on the diagonal, and a Levinson-Durbin recursion whose error is
// biased by 0.003 R[0] yields the coefficients, negated into the form the
// warped lattices take. Warping replaces each lag's unit delay by the all-pass
// D(z) = (z^-1 - warp) / (1 - warp z^-1). `process` is inert: work happens per block.
//
// Thread contract: `analyse` and `reset` run on the audio thread only.
class LpcAnalyser : public SignalComponent {
public:
    static constexpr int32_t kWindowCapacity = 2048;
    static constexpr int32_t kCoefficientCapacity = 100;
    // The recursion needs p + 1 predictor entries, so the highest order is one less.
    static constexpr int32_t kMaxOrder = kCoefficientCapacity - 1;
    static constexpr int32_t kDefaultWindowLength = 1024;
    static constexpr int32_t kDefaultOrder = 50;
    // Diagonal loading per coefficient, and the bias on the recursion's error.
    static constexpr double kRegularisationPerOrder = 0.0007;
    static constexpr double kErrorBias = 0.003;
    // A coefficient of magnitude 1 or more would make the synthesis unstable; it
    // is handed on as this value with its sign.
    static constexpr double kUnstableReplacement = 0.01;

    static_assert(kDefaultWindowLength < kWindowCapacity);
    static_assert(kMaxOrder < kWindowCapacity, "R[0..p] must fit the autocorrelation array");

    LpcAnalyser();

    double process(double input) override;
    void reset() override;

    // Rebuilds the window for length L; a length of kWindowCapacity or more is
    // refused and the previous window and length stay in force.
    void buildWindow(int32_t length);

    // Analyses samples[0..L-1] into output[0..p-1]. warp > 0 selects the warped
    // autocorrelation, otherwise the plain one. Allocates nothing.
    void analyse(const double* samples, int32_t length, double* output, int32_t order, double warp);

    int32_t windowLength = kDefaultWindowLength;  // L of the current window
    int32_t order = kDefaultOrder;                // p of the last analysis
    double warp = 0.0;                            // warp of the last analysis
    double window[kWindowCapacity] = {};          // entries 0..L-1 valid
    double autocorrelation[kWindowCapacity] = {}; // R[0..p]
    double warpedScratch[kWindowCapacity] = {};   // the block passed k times through D(z)
    double windowed[kWindowCapacity] = {};        // windowed block, 0..L-1
    double predictor[kCoefficientCapacity] = {};  // a[0..p], a[0] = 1
    double reflection[kCoefficientCapacity] = {}; // lattice coefficients k[0..p-1]

private:
    void plainAutocorrelation();
    void warpedAutocorrelation();
    void levinsonRecursion();
};
