#include "dsp/lpc_analyser.h"

#include <algorithm>
#include <cmath>
#include <iterator>

LpcAnalyser::LpcAnalyser() {
    buildWindow(kDefaultWindowLength);
}

double LpcAnalyser::process(double) {
    return 0.0;
}

void LpcAnalyser::reset() {
    SignalComponent::reset();
    std::fill(std::begin(autocorrelation), std::end(autocorrelation), 0.0);
    std::fill(std::begin(warpedScratch), std::end(warpedScratch), 0.0);
    std::fill(std::begin(predictor), std::end(predictor), 0.0);
    std::fill(std::begin(reflection), std::end(reflection), 0.0);
}

void LpcAnalyser::buildWindow(int32_t length) {
    if (length >= kWindowCapacity) {
        return;
    }
    windowLength = length;
    if (length <= 0) {
        // An empty window: every block then counts as silent.
        return;
    }
    // Periodic raised cosine lifted to 0.01 at the ends, so no sample is lost entirely.
    const double step = 2.0 * pi / static_cast<double>(length);
    for (int32_t i = 0; i < length; ++i) {
        window[i] = 0.5 - 0.49 * std::cos(static_cast<double>(i) * step);
    }
}

void LpcAnalyser::analyse(const double* samples, int32_t length, double* output, int32_t requestedOrder,
                          double requestedWarp) {
    if (length != windowLength) {
        buildWindow(length);
    }
    const int32_t p = std::clamp(requestedOrder, int32_t{0}, kMaxOrder);
    warp = requestedWarp;
    order = p;

    // A refused length leaves the old window in force, and windowing covers that old length.
    double magnitude = 0.0;
    for (int32_t i = 0; i < windowLength; ++i) {
        windowed[i] = window[i] * samples[i];
        magnitude += std::fabs(samples[i]);
    }

    // Written as "not greater" so that a block holding NaN also counts as silent.
    if (!(magnitude > 0.0)) {
        reset();
        std::copy(reflection, reflection + p, output);
        return;
    }

    if (warp > 0.0) {
        warpedAutocorrelation();
    } else {
        plainAutocorrelation();
    }
    autocorrelation[0] += kRegularisationPerOrder * static_cast<double>(p);
    levinsonRecursion();

    for (int32_t i = 0; i < p; ++i) {
        const double k = reflection[i];
        output[i] = std::fabs(k) >= 1.0 ? std::copysign(kUnstableReplacement, k) : k;
    }
}

// The lag sums are carried in 80-bit long double, as is the recursion: a
// resonant block makes the normal equations ill conditioned, and rounding in
// the lags would show in the high-order coefficients.
void LpcAnalyser::plainAutocorrelation() {
    const int32_t length = windowLength;
    double* r = autocorrelation;
    long double energy = 0.0L;
    for (int32_t i = 0; i < length; ++i) {
        energy += static_cast<long double>(windowed[i]) * windowed[i];
    }
    if (energy <= 0.0L) {
        std::fill(r, r + order + 1, 0.0);
        return;
    }
    const long double scale = 1.0L / energy;
    r[0] = 1.0;
    for (int32_t lag = 1; lag <= order; ++lag) {
        long double sum = 0.0L;
        for (int32_t i = 0; i < length - lag; ++i) {
            sum += static_cast<long double>(windowed[i + lag]) * windowed[i];
        }
        r[lag] = static_cast<double>(scale * sum);
    }
}

// Lag k pairs the block with its k-fold all-pass version; the scratch is taken
// one all-pass further in the same pass that accumulates the lag.
void LpcAnalyser::warpedAutocorrelation() {
    const int32_t length = windowLength;
    if (length >= kWindowCapacity) {
        return;
    }
    const double lambda = warp;
    double* r = autocorrelation;

    double energy = 0.0;
    double previousIn = 0.0;
    double previousOut = 0.0;
    for (int32_t i = 0; i < length; ++i) {
        const double x = windowed[i];
        energy += x * x;
        const double y = previousIn - lambda * (x - previousOut);
        warpedScratch[i] = y;
        previousIn = x;
        previousOut = y;
    }
    if (energy <= 0.0) {
        std::fill(r, r + order + 1, 0.0);
        return;
    }

    r[0] = 1.0;
    for (int32_t lag = 1; lag <= order; ++lag) {
        double sum = 0.0;
        previousIn = 0.0;
        previousOut = 0.0;
        for (int32_t i = 0; i < length; ++i) {
            const double x = warpedScratch[i];
            sum += windowed[i] * x;
            const double y = previousIn - lambda * (x - previousOut);
            warpedScratch[i] = y;
            previousIn = x;
            previousOut = y;
        }
        r[lag] = sum / energy;
    }
}

// Levinson-Durbin in extended precision. The bias on the error keeps the
// coefficients short of the unit circle for nearly singular blocks; as it makes
// the recursion inexact, a coefficient can still reach 1, which `analyse` catches.
void LpcAnalyser::levinsonRecursion() {
    const int32_t p = order;
    const double* r = autocorrelation;
    if (r[0] == 0.0) {
        std::fill(std::begin(predictor), std::end(predictor), 0.0);
        std::fill(std::begin(reflection), std::end(reflection), 0.0);
        return;
    }

    std::fill(predictor, predictor + p + 1, 0.0);
    predictor[0] = 1.0;
    double previous[kCoefficientCapacity];
    std::copy(predictor, predictor + p + 1, previous);
    long double error = r[0];
    const long double bias = static_cast<long double>(kErrorBias) * r[0];

    for (int32_t j = 0; j < p; ++j) {
        long double acc = 0.0L;
        for (int32_t m = 1; m <= j; ++m) {
            acc += static_cast<long double>(previous[m]) * r[j + 1 - m];
        }
        long double k = (r[j + 1] - acc) / (error + bias);
        // A zero denominator or a non-finite block: this stage then contributes nothing.
        if (!std::isfinite(k)) {
            k = 0.0L;
        }
        reflection[j] = static_cast<double>(-k);
        predictor[j + 1] = static_cast<double>(k);
        for (int32_t m = 1; m <= j; ++m) {
            predictor[m] = static_cast<double>(previous[m] - k * previous[j + 1 - m]);
        }
        error = error * (1.0L - k * k);
        std::copy(predictor, predictor + p + 1, previous);
    }
}
