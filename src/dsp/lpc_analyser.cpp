#include "dsp/lpc_analyser.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <iterator>

#include "dsp/double_pair.h"

static_assert(LDBL_MANT_DIG == 64,
              "the analysis's extended-precision sums need the 80-bit x87 long double; a "
              "64-bit one (an MSVC-ABI compiler) would change every coefficient and so "
              "the output");

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

namespace {

// Lags first..first+G-1 of the warped autocorrelation in one pass over the
// block. On entry scratch holds the block passed `first` times through D(z);
// on return G times more. Chain c is the all-pass of lag first+c: it reads
// chain c-1's output for the same sample, and its own last input is chain
// c-1's last output, so last[c] serves as both. Each chain starts from zero
// state and each sum adds its terms in sample order, exactly as one pass per
// lag would; only the loops are interleaved, so the G serial all-pass chains
// overlap instead of waiting on each other.
template <int G>
void warpedLagGroup(const double* windowed, double* scratch, int32_t length, double lambda, double* sums) {
    double last[G + 1] = {};
    double sum[G] = {};
    for (int32_t i = 0; i < length; ++i) {
        const double w = windowed[i];
        double x = scratch[i];
        for (int c = 0; c < G; ++c) {
            sum[c] += w * x;
            const double y = last[c] - lambda * (x - last[c + 1]);
            last[c] = x;
            x = y;
        }
        last[G] = x;
        scratch[i] = x;
    }
    for (int c = 0; c < G; ++c) {
        sums[c] = sum[c];
    }
}

// The same G = 2P lags, two to a vector operation. The chains are skewed
// by one sample each: at step tau chain c handles sample tau - c, so it reads
// what chain c-1 made one step before, and all chains of a step are
// independent. Pair m holds chain 2m+1 in lane 0 and chain 2m in lane 1, so
// the lanes' window samples lie in ascending order. Chains not yet started
// see zero input, window and state, and stay exactly at zero; chains already
// finished are stepped one by one at the end. Needs length >= G.
template <int P>
void warpedLagGroupSkewed(const double* windowed, double* scratch, int32_t length, double lambda,
                          double* sums) {
    constexpr int G = 2 * P;
    DoublePair in[P];
    DoublePair out[P];
    DoublePair sum[P];
    for (int m = 0; m < P; ++m) {
        in[m] = out[m] = sum[m] = pairOf(0.0, 0.0);
    }
    const DoublePair lambdas = pairOf(lambda, lambda);
    auto step = [&](int32_t tau, auto windowPair) {
        DoublePair x[P];
        x[0] = highLow(out[0], pairOf(scratch[tau], scratch[tau]));
        for (int m = 1; m < P; ++m) {
            x[m] = highLow(out[m], out[m - 1]);
        }
        for (int m = 0; m < P; ++m) {
            sum[m] = sum[m] + windowPair(tau - 2 * m - 1) * x[m];
            const DoublePair y = in[m] - lambdas * (x[m] - out[m]);
            in[m] = x[m];
            out[m] = y;
        }
    };
    auto windowBeforeStart = [windowed](int32_t i) {
        return pairOf(i >= 0 ? windowed[i] : 0.0, i + 1 >= 0 ? windowed[i + 1] : 0.0);
    };
    auto window = [windowed](int32_t i) { return loadPairUnaligned(windowed + i); };
    for (int32_t tau = 0; tau < G - 1; ++tau) {
        step(tau, windowBeforeStart);
    }
    for (int32_t tau = G - 1; tau < length; ++tau) {
        step(tau, window);
        scratch[tau - G + 1] = out[P - 1][0];
    }

    double chainIn[G];
    double chainOut[G];
    double chainSum[G];
    for (int m = 0; m < P; ++m) {
        chainIn[2 * m + 1] = in[m][0];
        chainIn[2 * m] = in[m][1];
        chainOut[2 * m + 1] = out[m][0];
        chainOut[2 * m] = out[m][1];
        chainSum[2 * m + 1] = sum[m][0];
        chainSum[2 * m] = sum[m][1];
    }
    // The chains that still have samples, highest first, so that each reads
    // its predecessor's output of the step before.
    for (int32_t tau = length; tau < length + G - 1; ++tau) {
        for (int c = G - 1; c >= tau - length + 1; --c) {
            const int32_t i = tau - c;
            const double x = chainOut[c - 1];
            chainSum[c] += windowed[i] * x;
            const double y = chainIn[c] - lambda * (x - chainOut[c]);
            chainIn[c] = x;
            chainOut[c] = y;
            if (c == G - 1) {
                scratch[i] = y;
            }
        }
    }
    for (int c = 0; c < G; ++c) {
        sums[c] = chainSum[c];
    }
}

} // namespace

// Lag k pairs the block with its k-fold all-pass version; the scratch is taken
// one all-pass further per lag in the pass that accumulates the lag, several
// lags to a pass (see warpedLagGroup).
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
    // Ten skewed chains keep both the adder and the multiplier busy; the
    // lags left over, and short blocks, go up to six at a time unskewed.
    constexpr int kSkewedPairs = 5;
    constexpr int kSkewedLags = 2 * kSkewedPairs;
    constexpr int kLagsPerPass = 6;
    double sums[kSkewedLags];
    int32_t lag = 1;
    if (length >= kSkewedLags) {
        for (; lag + kSkewedLags - 1 <= order; lag += kSkewedLags) {
            warpedLagGroupSkewed<kSkewedPairs>(windowed, warpedScratch, length, lambda, sums);
            for (int32_t c = 0; c < kSkewedLags; ++c) {
                r[lag + c] = sums[c] / energy;
            }
        }
    }
    while (lag <= order) {
        const int32_t group = std::min(order + 1 - lag, int32_t{kLagsPerPass});
        switch (group) {
        case 6:
            warpedLagGroup<6>(windowed, warpedScratch, length, lambda, sums);
            break;
        case 5:
            warpedLagGroup<5>(windowed, warpedScratch, length, lambda, sums);
            break;
        case 4:
            warpedLagGroup<4>(windowed, warpedScratch, length, lambda, sums);
            break;
        case 3:
            warpedLagGroup<3>(windowed, warpedScratch, length, lambda, sums);
            break;
        case 2:
            warpedLagGroup<2>(windowed, warpedScratch, length, lambda, sums);
            break;
        default:
            warpedLagGroup<1>(windowed, warpedScratch, length, lambda, sums);
            break;
        }
        for (int32_t c = 0; c < group; ++c) {
            r[lag + c] = sums[c] / energy;
        }
        lag += group;
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
    double scratch[kCoefficientCapacity];
    std::copy(predictor, predictor + p + 1, scratch);
    long double error = r[0];
    const long double bias = static_cast<long double>(kErrorBias) * r[0];

    // The predictor of step j is read from one buffer while step j+1's is
    // written to the other; entry 0 and the entries above j+1 are the same in
    // both, so the buffers swap instead of being copied. The sum of the next
    // step, acc = sum over m of a[m] r[j+2-m], takes each new a[m] as the update
    // makes it: the serial extended-precision sum then runs beside the update
    // instead of after it, adding the same terms in the same order.
    double* previous = scratch;
    double* next = predictor;
    long double acc = 0.0L;
    for (int32_t j = 0; j < p; ++j) {
        long double k = (r[j + 1] - acc) / (error + bias);
        // A zero denominator or a non-finite block: this stage then contributes nothing.
        if (!std::isfinite(k)) {
            k = 0.0L;
        }
        reflection[j] = static_cast<double>(-k);
        const auto kRounded = static_cast<double>(k);
        next[j + 1] = kRounded;
        long double nextAcc = 0.0L;
        for (int32_t m = 1; m <= j; ++m) {
            const auto a = static_cast<double>(previous[m] - k * previous[j + 1 - m]);
            next[m] = a;
            nextAcc += static_cast<long double>(a) * r[j + 2 - m];
        }
        nextAcc += static_cast<long double>(kRounded) * r[1];
        acc = nextAcc;
        error = error * (1.0L - k * k);
        std::swap(previous, next);
    }
    if (previous != predictor) {
        std::copy(previous, previous + p + 1, predictor);
    }
}
