#include "dsp/warped_lattice.h"

#include <gtest/gtest.h>

#include "dsp/test_noise.h"

#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

namespace {

std::vector<double> randomCoefficients(int32_t count, double amplitude, uint64_t seed) {
    Noise noise(seed);
    std::vector<double> c(static_cast<size_t>(count));
    for (double& v : c) {
        v = amplitude * noise.next();
    }
    return c;
}

// Starts the glide at its destination (warp and resonance already there, no
// smoothing), so one update makes current = target exactly and, for the
// synthesis, computes warpGain and G from those coefficients. The two filters'
// different glide constants then play no part.
void loadSettled(WarpedLatticeFilter& filter, const std::vector<double>& c, double warp) {
    filter.smoothing = 0.0;
    filter.warp = warp;
    filter.resonance = 1.0;
    filter.setTargetCoefficients(c.data(), static_cast<int32_t>(c.size()));
    filter.updateCoefficients(warp, 1.0);
}

// --- inverse then synthesis is the identity -------------------------------------

class LatticeIdentity : public ::testing::TestWithParam<std::tuple<double, int32_t>> {};

TEST_P(LatticeIdentity, SynthesisUndoesTheInverse) {
    const auto [warp, stages] = GetParam();
    const std::vector<double> c = randomCoefficients(stages, 0.5, 1000 + static_cast<uint64_t>(stages));
    WarpedLatticeInverse inverse;
    WarpedLatticeSynthesis synthesis;
    loadSettled(inverse, c, warp);
    loadSettled(synthesis, c, warp);
    ASSERT_EQ(inverse.warp, synthesis.warp);
    for (int32_t i = 0; i < stages; ++i) {
        ASSERT_EQ(synthesis.current[i], -inverse.current[i]);
    }

    Noise noise(77);
    double worst = 0.0;
    double whitenedPeak = 0.0;
    for (int n = 0; n < 4000; ++n) {
        const double x = noise.next();
        const double e = inverse.process(x);
        const double y = synthesis.process(e);
        worst = std::fmax(worst, std::fabs(y - x));
        whitenedPeak = std::fmax(whitenedPeak, std::fabs(e - x));
    }
    EXPECT_LT(worst, 1e-9);
    EXPECT_GT(whitenedPeak, 0.01); // the pair did something in between
}

INSTANTIATE_TEST_SUITE_P(WarpsAndOrders, LatticeIdentity,
                         ::testing::Combine(::testing::Values(0.0, 0.5, 0.95), ::testing::Values(1, 10, 70)));

// Without warp the synthesis is the direct-form all-pole filter
// y[n] = x[n] - c y[n-1] for one stage with coefficient c (loaded, hence -c inside).
TEST(WarpedLatticeSynthesis, OneStageWithoutWarpIsAFirstOrderAllPole) {
    WarpedLatticeSynthesis synthesis;
    const double c = 0.6;
    synthesis.setCoefficientsNow(&c, 1);
    double y = 0.0;
    Noise noise(4);
    for (int n = 0; n < 200; ++n) {
        const double x = noise.next();
        y = x - c * y;
        ASSERT_NEAR(synthesis.process(x), y, 1e-12) << n;
    }
}

TEST(WarpedLatticeSynthesis, NoStagesActLikeOneStageWithTheLastCurrentCoefficient) {
    const std::vector<double> c = {0.4};
    WarpedLatticeSynthesis one;
    WarpedLatticeSynthesis none;
    loadSettled(one, c, 0.0);
    loadSettled(none, c, 0.0);
    none.setTargetCoefficients(c.data(), 0);
    none.updateCoefficients(0.0, 1.0);
    EXPECT_EQ(none.stages, 0);
    EXPECT_EQ(none.gainCompensation, 1.0);
    Noise noise(5);
    for (int n = 0; n < 100; ++n) {
        const double x = noise.next();
        ASSERT_EQ(none.process(x), one.process(x)) << n;
    }
}

// After an impulse dies away, the alternating offsets keep the synthesis'
// states at about 1e-13 instead of letting them decay through the subnormal range.
TEST(WarpedLatticeSynthesis, SilenceLeavesNoSubnormalState) {
    WarpedLatticeSynthesis synthesis;
    loadSettled(synthesis, {0.3, -0.2, 0.1, 0.05}, 0.5);
    synthesis.process(1.0);
    double smallest = 1.0;
    double largest = 0.0;
    for (int n = 0; n < 5000; ++n) {
        synthesis.process(0.0);
        for (int32_t j = 1; j < 4; ++j) {
            for (double v : {synthesis.stateA[j], synthesis.stateB[j]}) {
                ASSERT_NE(std::fpclassify(v), FP_SUBNORMAL) << n;
                if (n > 4000) {
                    smallest = std::fmin(smallest, std::fabs(v));
                    largest = std::fmax(largest, std::fabs(v));
                }
            }
        }
    }
    EXPECT_GT(smallest, 1e-15);
    EXPECT_LT(largest, 1e-11);
}

TEST(WarpedLatticeInverse, NoStagesPassTheInput) {
    WarpedLatticeInverse inverse;
    loadSettled(inverse, {}, 0.5);
    Noise noise(6);
    for (int n = 0; n < 50; ++n) {
        const double x = noise.next();
        ASSERT_EQ(inverse.process(x), x);
    }
    EXPECT_EQ(inverse.lastOutput, inverse.process(0.25));
}

// --- loading ----------------------------------------------------------------

TEST(WarpedLatticeLoading, UnstableCoefficientKeepsItsTargetButSetNowCopiesIt) {
    WarpedLatticeInverse inverse;
    WarpedLatticeSynthesis synthesis;
    const double before[3] = {0.1, 0.2, 0.3};
    const double offered[3] = {0.5, 1.2, -1.0};
    for (WarpedLatticeFilter* filter :
         {static_cast<WarpedLatticeFilter*>(&inverse), static_cast<WarpedLatticeFilter*>(&synthesis)}) {
        const double s = filter->sign;
        filter->setTargetCoefficients(before, 3);
        filter->setCoefficientsNow(offered, 3);
        EXPECT_EQ(filter->target[0], s * 0.5);
        EXPECT_EQ(filter->target[1], s * 0.2);
        EXPECT_EQ(filter->target[2], s * 0.3);
        EXPECT_EQ(filter->current[0], s * 0.5);
        EXPECT_EQ(filter->current[1], s * 1.2);
        EXPECT_EQ(filter->current[2], s * -1.0);
        EXPECT_EQ(filter->stages, 3);
    }
    EXPECT_EQ(inverse.sign, 1.0);
    EXPECT_EQ(synthesis.sign, -1.0);
}

TEST(WarpedLatticeLoading, RotationZeroAndOneLoadInOrderAndOthersRotate) {
    const std::vector<double> c = randomCoefficients(10, 0.9, 8);
    WarpedLatticeInverse plain;
    WarpedLatticeInverse zero;
    WarpedLatticeInverse one;
    WarpedLatticeInverse third;
    plain.setTargetCoefficients(c.data(), 10);
    zero.setTargetCoefficientsRotated(c.data(), 10, 0.0f);
    one.setTargetCoefficientsRotated(c.data(), 10, 1.0f);
    third.setTargetCoefficientsRotated(c.data(), 10, 0.3f);
    for (int32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(zero.target[i], plain.target[i]);
        EXPECT_EQ(one.target[i], plain.target[i]);
        EXPECT_EQ(third.target[i], c[static_cast<size_t>((i + 3) % 10)]);
    }
    EXPECT_EQ(one.stages, 10);

    // Out-of-range rotations are clamped.
    WarpedLatticeInverse below;
    WarpedLatticeInverse above;
    below.setTargetCoefficientsRotated(c.data(), 10, -0.5f);
    above.setTargetCoefficientsRotated(c.data(), 10, 3.0f);
    for (int32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(below.target[i], plain.target[i]);
        EXPECT_EQ(above.target[i], plain.target[i]);
    }
}

// The stability test looks at the destination index, not at the entry copied.
TEST(WarpedLatticeLoading, RotatedStabilityTestLooksAtTheDestinationIndex) {
    std::vector<double> c = randomCoefficients(10, 0.9, 9);
    c[2] = 1.5;
    WarpedLatticeSynthesis synthesis;
    const std::vector<double> before(10, 0.25);
    synthesis.setTargetCoefficients(before.data(), 10);
    synthesis.setTargetCoefficientsRotated(c.data(), 10, 0.3f);
    EXPECT_EQ(synthesis.target[2], -0.25);
    EXPECT_EQ(synthesis.target[9], -1.5);
}

// --- glide ------------------------------------------------------------------

TEST(WarpedLatticeGlide, SmoothingTimeHalvesTheDistanceAfterItsNumberOfCalls) {
    const std::vector<double> c = {0.6, -0.4, 0.2};
    auto check = [&](WarpedLatticeFilter& filter) {
        filter.setSampleRate(11025.0);
        filter.setSmoothingTime(0.04); // 441 calls
        filter.resonance = 1.0;
        filter.setTargetCoefficients(c.data(), 3);
        for (double remaining : {0.5, 0.25}) {
            for (int n = 0; n < 441; ++n) {
                filter.updateCoefficients(0.0, 1.0);
            }
            for (int32_t i = 0; i < 3; ++i) {
                EXPECT_NEAR(filter.current[i], (1.0 - remaining) * filter.target[i], 1e-12);
            }
        }
    };
    WarpedLatticeInverse inverse;
    WarpedLatticeSynthesis synthesis;
    check(inverse);
    check(synthesis);
}

TEST(WarpedLatticeGlide, WithoutSmoothingCurrentJumpsToResonanceTimesTarget) {
    WarpedLatticeInverse inverse;
    inverse.setSmoothingTime(0.0);
    const double c[2] = {0.5, -0.3};
    inverse.setTargetCoefficients(c, 2);
    inverse.updateCoefficients(0.0, 0.8);
    const double resonance = 0.8 + (0.95 - 0.8) * 0.95;
    EXPECT_DOUBLE_EQ(inverse.resonance, resonance);
    EXPECT_DOUBLE_EQ(inverse.current[0], resonance * 0.5);
    EXPECT_DOUBLE_EQ(inverse.current[1], resonance * -0.3);
}

// The synthesis glides with 0.95 rounded to single precision, the inverse with
// the double; from warp 0 towards 0.5 they part after the eighth digit.
TEST(WarpedLatticeGlide, SynthesisUsesTheSinglePrecisionRetention) {
    WarpedLatticeInverse inverse;
    WarpedLatticeSynthesis synthesis;
    EXPECT_EQ(inverse.warp, 0.0);
    EXPECT_EQ(synthesis.warpGain, 1.0);
    EXPECT_EQ(synthesis.gainCompensation, 1.0);
    inverse.updateCoefficients(0.5, 0.95);
    synthesis.updateCoefficients(0.5, 0.95);
    EXPECT_NEAR(inverse.warp, 0.025, 1e-15);
    EXPECT_NEAR(synthesis.warp, 0.5 - 0.5 * 0.949999988079071, 1e-15);
    EXPECT_NEAR(synthesis.warpGain, 1.0 - synthesis.warp * synthesis.warp, 1e-15);
}

// --- reset ------------------------------------------------------------------

template <class Filter> void expectResetEqualsFresh() {
    const std::vector<double> c = randomCoefficients(10, 0.6, 11);
    Filter used;
    loadSettled(used, c, 0.5);
    Noise warmUp(12);
    for (int n = 0; n < 64; ++n) { // even: the synthesis' toggle and dither are back
        used.process(warmUp.next());
    }
    used.reset();
    EXPECT_EQ(used.lastOutput, 0.0);
    EXPECT_EQ(used.current[0], 0.0);
    EXPECT_EQ(used.stages, 10);
    EXPECT_EQ(used.warp, 0.5);

    Filter fresh;
    loadSettled(used, c, 0.5);
    loadSettled(fresh, c, 0.5);
    Noise a(13);
    Noise b(13);
    for (int n = 0; n < 200; ++n) {
        ASSERT_EQ(used.process(a.next()), fresh.process(b.next())) << n;
    }
}

TEST(WarpedLatticeReset, InverseEqualsAFreshInstance) {
    expectResetEqualsFresh<WarpedLatticeInverse>();
}

TEST(WarpedLatticeReset, SynthesisEqualsAFreshInstance) {
    expectResetEqualsFresh<WarpedLatticeSynthesis>();
}

} // namespace
