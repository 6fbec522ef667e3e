// The analyser's interleaved loops against the recursions written one step at
// a time, as they are defined: the warped autocorrelation one lag per pass,
// the Levinson-Durbin recursion summing each step after the update. Results
// must agree bit for bit for every order, block length and warp.

#include "dsp/lpc_analyser.h"

#include <gtest/gtest.h>

#include "dsp/test_noise.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// R[0..p] of a windowed block: one all-pass pass per lag, each lag's
// scratch made from the previous lag's in the pass that sums it.
std::vector<double> warpedLagsOneAtATime(const double* windowed, int32_t length, double lambda,
                                         int32_t order) {
    std::vector<double> r(static_cast<size_t>(order) + 1, 0.0);
    std::vector<double> scratch(static_cast<size_t>(length));
    double energy = 0.0;
    double previousIn = 0.0;
    double previousOut = 0.0;
    for (int32_t i = 0; i < length; ++i) {
        const double x = windowed[i];
        energy += x * x;
        const double y = previousIn - lambda * (x - previousOut);
        scratch[static_cast<size_t>(i)] = y;
        previousIn = x;
        previousOut = y;
    }
    r[0] = 1.0;
    for (int32_t lag = 1; lag <= order; ++lag) {
        double sum = 0.0;
        previousIn = 0.0;
        previousOut = 0.0;
        for (int32_t i = 0; i < length; ++i) {
            const double x = scratch[static_cast<size_t>(i)];
            sum += windowed[i] * x;
            const double y = previousIn - lambda * (x - previousOut);
            scratch[static_cast<size_t>(i)] = y;
            previousIn = x;
            previousOut = y;
        }
        r[static_cast<size_t>(lag)] = sum / energy;
    }
    return r;
}

struct Recursion {
    std::vector<double> predictor;
    std::vector<double> reflection;
};

// The recursion in extended precision, step by step: acc, k, the update into
// a new predictor, then the copy back.
Recursion levinsonStepByStep(const double* r, int32_t p) {
    Recursion out{std::vector<double>(static_cast<size_t>(p) + 1, 0.0),
                  std::vector<double>(static_cast<size_t>(p))};
    std::vector<double>& a = out.predictor;
    a[0] = 1.0;
    std::vector<double> previous = a;
    long double error = r[0];
    const long double bias = static_cast<long double>(LpcAnalyser::kErrorBias) * r[0];
    for (int32_t j = 0; j < p; ++j) {
        long double acc = 0.0L;
        for (int32_t m = 1; m <= j; ++m) {
            acc += static_cast<long double>(previous[static_cast<size_t>(m)]) * r[j + 1 - m];
        }
        long double k = (r[j + 1] - acc) / (error + bias);
        if (!std::isfinite(k)) {
            k = 0.0L;
        }
        out.reflection[static_cast<size_t>(j)] = static_cast<double>(-k);
        a[static_cast<size_t>(j) + 1] = static_cast<double>(k);
        for (int32_t m = 1; m <= j; ++m) {
            a[static_cast<size_t>(m)] = static_cast<double>(previous[static_cast<size_t>(m)] -
                                                            k * previous[static_cast<size_t>(j + 1 - m)]);
        }
        error = error * (1.0L - k * k);
        previous = a;
    }
    return out;
}

void checkBlock(LpcAnalyser& analyser, const std::vector<double>& block, int32_t order, double warp) {
    const auto length = static_cast<int32_t>(block.size());
    std::vector<double> output(static_cast<size_t>(order) + 1);
    analyser.analyse(block.data(), length, output.data(), order, warp);

    const std::vector<double> r = warpedLagsOneAtATime(analyser.windowed, length, warp, order);
    for (int32_t k = 1; k <= order; ++k) {
        ASSERT_EQ(analyser.autocorrelation[k], r[static_cast<size_t>(k)])
            << "lag " << k << " of " << order << ", length " << length << ", warp " << warp;
    }
    ASSERT_EQ(analyser.autocorrelation[0], r[0] + LpcAnalyser::kRegularisationPerOrder * order);

    const Recursion expected = levinsonStepByStep(analyser.autocorrelation, order);
    for (int32_t j = 0; j < order; ++j) {
        ASSERT_EQ(analyser.reflection[j], expected.reflection[static_cast<size_t>(j)]) << "coefficient " << j;
    }
    for (int32_t m = 0; m <= order; ++m) {
        ASSERT_EQ(analyser.predictor[m], expected.predictor[static_cast<size_t>(m)]) << "predictor " << m;
    }
}

std::vector<double> resonantBlock(int32_t length, uint64_t seed) {
    Noise noise(seed);
    std::vector<double> block(static_cast<size_t>(length));
    double y1 = 0.0;
    double y2 = 0.0;
    for (double& v : block) {
        // A strong resonance makes the high lags and the recursion matter.
        const double y = noise.next() + 1.8 * y1 - 0.95 * y2;
        y2 = y1;
        y1 = y;
        v = y;
    }
    return block;
}

TEST(LpcFastPaths, EveryOrderAndLengthMatchesTheOneLagPerPassDefinition) {
    auto analyser = std::make_unique<LpcAnalyser>();
    // Orders around the group sizes of the interleaved passes, and lengths
    // around the shortest block the skewed passes take.
    for (int32_t order : {1, 2, 5, 6, 7, 9, 10, 11, 12, 16, 19, 20, 21, 31, 69, 70, 99}) {
        for (int32_t length : {1, 2, 9, 10, 11, 20, 21, 64, 256, 2047}) {
            for (double warp : {0.001, 0.5, 0.95}) {
                checkBlock(*analyser, resonantBlock(length, static_cast<uint64_t>(order * 4099 + length)),
                           order, warp);
                ASSERT_FALSE(::testing::Test::HasFatalFailure());
            }
        }
    }
}

// The plain (unwarped) autocorrelation feeds the same recursion.
TEST(LpcFastPaths, RecursionMatchesForThePlainAutocorrelation) {
    auto analyser = std::make_unique<LpcAnalyser>();
    for (int32_t order : {1, 7, 70, 99}) {
        const std::vector<double> block = resonantBlock(300, static_cast<uint64_t>(order));
        std::vector<double> output(static_cast<size_t>(order));
        analyser->analyse(block.data(), 300, output.data(), order, 0.0);
        const Recursion expected = levinsonStepByStep(analyser->autocorrelation, order);
        for (int32_t j = 0; j < order; ++j) {
            ASSERT_EQ(analyser->reflection[j], expected.reflection[static_cast<size_t>(j)])
                << order << " " << j;
        }
    }
}

} // namespace
