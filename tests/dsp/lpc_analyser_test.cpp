#include "dsp/lpc_analyser.h"
#include "dsp/warped_lattice.h"

#include <gtest/gtest.h>

#include "dsp/test_noise.h"

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

// Step-up recursion from lattice coefficients c (as the inverse lattice takes
// them) to the direct-form error filter A(z) = 1 + sum a[m] z^-m. It follows
// from the lattice stage e' = e + c z^-1 u, u' = z^-1 u + c e, whose backward
// polynomial is the reverse of the forward one.
std::vector<double> stepUp(const std::vector<double>& c) {
    std::vector<double> a(c.size() + 1, 0.0);
    a[0] = 1.0;
    for (size_t i = 1; i <= c.size(); ++i) {
        std::vector<double> previous = a;
        for (size_t m = 1; m < i; ++m) {
            a[m] = previous[m] + c[i - 1] * previous[i - m];
        }
        a[i] = c[i - 1];
    }
    return a;
}

struct ArProcess {
    std::vector<double> drive;  // the white noise
    std::vector<double> signal; // x[n] = drive[n] - sum a[m] x[n-m]
};

ArProcess allPole(const std::vector<double>& a, size_t length, uint64_t seed) {
    Noise noise(seed);
    ArProcess process;
    process.drive.resize(length);
    process.signal.resize(length);
    for (size_t n = 0; n < length; ++n) {
        const double w = noise.next();
        double x = w;
        for (size_t m = 1; m < a.size() && m <= n; ++m) {
            x -= a[m] * process.signal[n - m];
        }
        process.drive[n] = w;
        process.signal[n] = x;
    }
    return process;
}

double power(const std::vector<double>& x, size_t from, size_t to) {
    double sum = 0.0;
    for (size_t i = from; i < to; ++i) {
        sum += x[i] * x[i];
    }
    return sum / static_cast<double>(to - from);
}

class LpcAnalyserTest : public ::testing::Test {
protected:
    std::unique_ptr<LpcAnalyser> analyser = std::make_unique<LpcAnalyser>();
};

// --- recovery of known reflection coefficients ---------------------------------

class ArRecovery : public LpcAnalyserTest, public ::testing::WithParamInterface<std::vector<double>> {};

TEST_P(ArRecovery, GivesBackTheReflectionCoefficientsAndWhitens) {
    const std::vector<double> truth = GetParam();
    const int32_t p = static_cast<int32_t>(truth.size());
    constexpr int32_t kBlock = 2047;
    constexpr int kBlocks = 16;
    constexpr size_t kWarmUp = 2000;
    const ArProcess ar = allPole(stepUp(truth), kWarmUp + kBlock * kBlocks, 12345);

    // Averaging a few blocks keeps the estimation spread well inside the tolerance.
    std::vector<double> mean(truth.size(), 0.0);
    std::vector<double> out(truth.size());
    for (int b = 0; b < kBlocks; ++b) {
        analyser->analyse(ar.signal.data() + kWarmUp + b * kBlock, kBlock, out.data(), p, 0.0);
        for (size_t i = 0; i < truth.size(); ++i) {
            mean[i] += out[i] / kBlocks;
        }
    }
    for (size_t i = 0; i < truth.size(); ++i) {
        EXPECT_NEAR(mean[i], truth[i], 0.04) << "coefficient " << i;
    }

    // The sign relation checked by whitening: the coefficients as delivered turn
    // the process back into its drive; negated, they do not.
    auto whiteningError = [&](double sign) {
        std::vector<double> loaded(mean);
        for (double& v : loaded) {
            v *= sign;
        }
        WarpedLatticeInverse inverse;
        inverse.setCoefficientsNow(loaded.data(), p);
        std::vector<double> difference(ar.signal.size());
        for (size_t n = 0; n < ar.signal.size(); ++n) {
            difference[n] = inverse.process(ar.signal[n]) - ar.drive[n];
        }
        return power(difference, kWarmUp, difference.size()) / power(ar.drive, kWarmUp, ar.drive.size());
    };
    EXPECT_LT(whiteningError(1.0), 0.01);
    EXPECT_GT(whiteningError(-1.0), 0.5);
}

INSTANTIATE_TEST_SUITE_P(KnownProcesses, ArRecovery,
                         ::testing::Values(std::vector<double>{-0.7, 0.45},
                                           std::vector<double>{-0.5, 0.6, 0.3, -0.4}));

// --- warped and plain forms ---------------------------------------------------

TEST_F(LpcAnalyserTest, NonPositiveWarpTakesThePlainFormAndATinyWarpIsCloseToIt) {
    constexpr int32_t kLength = 512;
    constexpr int32_t kOrder = 12;
    const ArProcess ar = allPole(stepUp({-0.8, 0.5, -0.2}), kLength, 7);

    double plain[kOrder];
    double negative[kOrder];
    double tiny[kOrder];
    analyser->analyse(ar.signal.data(), kLength, plain, kOrder, 0.0);
    analyser->analyse(ar.signal.data(), kLength, negative, kOrder, -0.4);
    analyser->analyse(ar.signal.data(), kLength, tiny, kOrder, 1e-9);
    for (int32_t i = 0; i < kOrder; ++i) {
        EXPECT_EQ(negative[i], plain[i]) << i;
        EXPECT_NEAR(tiny[i], plain[i], 1e-7) << i;
    }
    EXPECT_NE(plain[0], 0.0);
}

// The delivered coefficients whiten a sharp resonance, plain and warped, when
// loaded into an inverse lattice running at the analysis warp.
TEST_F(LpcAnalyserTest, CoefficientsWhitenAResonantBlockAtTheirWarp) {
    constexpr int32_t kLength = 1024;
    constexpr int32_t kOrder = 10;
    const double radius = 0.995;
    const double theta = 2.0 * 3.14159265358979323846 * 0.05;
    const std::vector<double> a = {1.0, -2.0 * radius * std::cos(theta), radius * radius};
    const ArProcess ar = allPole(a, 3000 + kLength, 99);
    const double* block = ar.signal.data() + 3000;

    for (double warp : {0.0, 0.5}) {
        double out[kOrder];
        analyser->analyse(block, kLength, out, kOrder, warp);

        WarpedLatticeInverse inverse;
        inverse.warp = warp;
        inverse.setCoefficientsNow(out, kOrder);
        double inputPower = 0.0;
        double errorPower = 0.0;
        for (int32_t i = 0; i < kLength; ++i) {
            const double e = inverse.process(block[i]);
            if (i >= kLength / 4) { // past the filter's start-up
                inputPower += block[i] * block[i];
                errorPower += e * e;
            }
        }
        EXPECT_GT(inputPower / errorPower, 20.0) << "warp " << warp;
    }
}

// At order 1 the whole analysis has a closed form: with R the windowed block's
// autocorrelation normalised to R[0] = 1, the coefficient is
// -R[1] / ((1 + 0.0007 p) (1 + 0.003)), the diagonal loading being counted for the
// order requested.
TEST_F(LpcAnalyserTest, FirstCoefficientMatchesTheRegularisedClosedForm) {
    constexpr int32_t kLength = 300;
    const ArProcess ar = allPole(stepUp({-0.6, 0.2}), kLength, 21);
    std::vector<double> w(kLength);
    for (int32_t i = 0; i < kLength; ++i) {
        const double window = 0.5 - 0.49 * std::cos(2.0 * 3.14159265358979323846 * i / kLength);
        w[static_cast<size_t>(i)] = window * ar.signal[static_cast<size_t>(i)];
    }
    double r0 = 0.0;
    double r1 = 0.0;
    for (int32_t i = 0; i < kLength; ++i) {
        r0 += w[static_cast<size_t>(i)] * w[static_cast<size_t>(i)];
        if (i > 0) {
            r1 += w[static_cast<size_t>(i)] * w[static_cast<size_t>(i - 1)];
        }
    }
    for (int32_t order : {1, 3, 40}) {
        std::vector<double> out(static_cast<size_t>(order));
        analyser->analyse(ar.signal.data(), kLength, out.data(), order, 0.0);
        const double expected = -(r1 / r0) / ((1.0 + 0.0007 * order) * 1.003);
        EXPECT_NEAR(out[0], expected, 1e-12) << "order " << order;
    }
}

// --- edge cases ---------------------------------------------------------------

TEST_F(LpcAnalyserTest, SilentBlockGivesZerosAndTheResetState) {
    constexpr int32_t kOrder = 20;
    const ArProcess ar = allPole(stepUp({-0.6}), 1024, 3);
    double out[kOrder];
    analyser->analyse(ar.signal.data(), 1024, out, kOrder, 0.4);
    ASSERT_NE(analyser->reflection[0], 0.0);

    const std::vector<double> silence(1024, 0.0);
    for (double& v : out) {
        v = 7.0;
    }
    analyser->analyse(silence.data(), 1024, out, kOrder, 0.4);
    for (double v : out) {
        EXPECT_EQ(v, 0.0);
    }
    for (int32_t i = 0; i < LpcAnalyser::kWindowCapacity; ++i) {
        ASSERT_EQ(analyser->autocorrelation[i], 0.0) << i;
        ASSERT_EQ(analyser->warpedScratch[i], 0.0) << i;
    }
    for (int32_t i = 0; i < LpcAnalyser::kCoefficientCapacity; ++i) {
        ASSERT_EQ(analyser->predictor[i], 0.0) << i;
        ASSERT_EQ(analyser->reflection[i], 0.0) << i;
    }
    EXPECT_EQ(analyser->order, kOrder);
    EXPECT_EQ(analyser->windowLength, 1024);
    EXPECT_EQ(analyser->process(1.0), 0.0);
}

// A non-finite block must not hand NaN or infinity on to the lattices.
TEST_F(LpcAnalyserTest, NonFiniteBlockGivesFiniteCoefficients) {
    constexpr int32_t kOrder = 8;
    const ArProcess ar = allPole(stepUp({-0.6}), 256, 17);
    for (double bad : {std::nan(""), HUGE_VAL}) {
        for (double warp : {0.0, 0.5}) {
            std::vector<double> block = ar.signal;
            block[100] = bad;
            double out[kOrder];
            analyser->analyse(block.data(), 256, out, kOrder, warp);
            for (double v : out) {
                EXPECT_TRUE(std::isfinite(v)) << bad << " at warp " << warp;
            }
        }
    }
}

// An all-pass with |warp| > 1 is unstable, which lets the lag-1 correlation
// exceed R[0]; the recursion then produces a coefficient beyond the unit circle.
TEST_F(LpcAnalyserTest, CoefficientsOfMagnitudeOneOrMoreReachTheCallerAsASmallValueWithTheirSign) {
    double out[1];

    // An impulse gives R[1] = -warp, so the coefficient is about +1.5.
    double impulse[16] = {1.0};
    analyser->analyse(impulse, 16, out, 1, 1.5);
    EXPECT_GE(analyser->reflection[0], 1.0);
    EXPECT_EQ(out[0], 0.01);

    // Windowed to (1, -1), two samples give R[1] = 3.5 at warp 4: about -3.5.
    double pair[2] = {100.0, -1.0 / 0.99};
    analyser->analyse(pair, 2, out, 1, 4.0);
    EXPECT_LE(analyser->reflection[0], -1.0);
    EXPECT_EQ(out[0], -0.01);

    // Below the limit a coefficient passes unchanged.
    analyser->analyse(impulse, 16, out, 1, 0.5);
    EXPECT_LT(std::fabs(analyser->reflection[0]), 1.0);
    EXPECT_EQ(out[0], analyser->reflection[0]);
}

TEST_F(LpcAnalyserTest, WindowFollowsTheBlockLengthButRefusesLengthsFrom2048) {
    EXPECT_EQ(analyser->windowLength, 1024);
    EXPECT_NEAR(analyser->window[0], 0.01, 1e-15);
    EXPECT_NEAR(analyser->window[512], 0.99, 1e-15);

    const ArProcess ar = allPole(stepUp({-0.5, 0.3}), 4096, 5);
    constexpr int32_t kOrder = 6;
    double shortBlock[kOrder];
    analyser->analyse(ar.signal.data(), 512, shortBlock, kOrder, 0.0);
    EXPECT_EQ(analyser->windowLength, 512);
    EXPECT_NEAR(analyser->window[256], 0.99, 1e-15);
    EXPECT_DOUBLE_EQ(analyser->autocorrelation[0], 1.0 + 0.0007 * kOrder);

    // A refused length keeps the old window, and the windowing covers the old
    // length: the result is that of the first 512 samples.
    const std::vector<double> oldWindow(analyser->window, analyser->window + 512);
    double longBlock[kOrder];
    analyser->analyse(ar.signal.data(), 4096, longBlock, kOrder, 0.0);
    EXPECT_EQ(analyser->windowLength, 512);
    for (int32_t i = 0; i < 512; ++i) {
        ASSERT_EQ(analyser->window[i], oldWindow[i]) << i;
    }
    for (int32_t i = 0; i < kOrder; ++i) {
        EXPECT_EQ(longBlock[i], shortBlock[i]) << i;
    }
    analyser->buildWindow(2048);
    EXPECT_EQ(analyser->windowLength, 512);
}

} // namespace
