#include "dsp/envelope_follower.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

constexpr double kFs = 44100.0;

double run(EnvelopeFollower& follower, double input, int samples) {
    for (int i = 0; i < samples; ++i) {
        follower.process(input);
    }
    return follower.lastOutput;
}

} // namespace

TEST(EnvelopeFollower, FreshFollowerHoldsUntilTimesAreSet) {
    EnvelopeFollower follower;
    EXPECT_EQ(follower.process(1.0), 0.0);
    EXPECT_EQ(follower.process(-3.0), 0.0);
}

TEST(EnvelopeFollower, AttackCoversThreeQuartersInItsTime) {
    // L = 0.5: after T fs samples a rising step keeps (1 - L)^2 = 1/4 of its distance.
    EnvelopeFollower follower;
    follower.setAttackTime(0.01); // 441 samples
    follower.setReleaseTime(1.0);
    EXPECT_NEAR(run(follower, 1.0, 441), 0.75, 1e-9);
    EXPECT_NEAR(run(follower, 1.0, 441), 0.9375, 1e-9);

    // Another reference level: L = 0.8 keeps 0.04 after T fs samples. Negative input counts
    // by its magnitude.
    EnvelopeFollower other;
    other.setAttack(0.8, 0.005);
    EXPECT_DOUBLE_EQ(other.level, 0.8);
    EXPECT_DOUBLE_EQ(other.attackTime, 0.005);
    EXPECT_NEAR(run(other, -2.0, 220) / 2.0, 1.0 - std::pow(0.04, 220.0 / 220.5), 1e-9);
}

TEST(EnvelopeFollower, ReleaseKeepsASixteenthInItsTime) {
    // The release law L^(4 / (T fs)) with L = 0.5: 1/16 of the level remains after T fs samples.
    EnvelopeFollower follower;
    follower.setAttackTime(0.0);
    follower.setReleaseTime(0.02); // 882 samples
    EXPECT_DOUBLE_EQ(follower.releaseTime, 0.02);
    EXPECT_EQ(follower.process(1.0), 1.0);
    EXPECT_NEAR(run(follower, 0.0, 882), 0.0625, 1e-9);
    // It falls only towards the input, never below it.
    follower.process(1.0);
    EXPECT_NEAR(run(follower, 0.5, 20000), 0.5, 1e-12);
    EXPECT_GE(follower.lastOutput, 0.5);
}

TEST(EnvelopeFollower, ZeroTimesJump) {
    EnvelopeFollower follower;
    follower.setAttackTime(0.0);
    follower.setReleaseTime(-1.0);
    EXPECT_EQ(follower.attackCoefficient, 0.0);
    EXPECT_EQ(follower.releaseCoefficient, 0.0);
    EXPECT_EQ(follower.process(0.7), 0.7);
    EXPECT_EQ(follower.process(-0.2), 0.2);
    EXPECT_EQ(follower.process(0.0), 0.0);
}

TEST(EnvelopeFollower, SilenceReachesExactlyZero) {
    EnvelopeFollower follower;
    follower.setAttackTime(0.0);
    follower.setReleaseTime(0.001);
    follower.process(1.0);
    // 0.25^(2/44.1) per sample: 1e-30 is passed after about 1100 samples.
    run(follower, 0.0, 3000);
    EXPECT_EQ(follower.lastOutput, 0.0);
    EXPECT_FALSE(std::fpclassify(follower.lastOutput) == FP_SUBNORMAL);

    follower.lastOutput = 2e-30;
    follower.releaseCoefficient = 0.25;
    EXPECT_EQ(follower.process(0.0), 0.0);
}

TEST(EnvelopeFollower, ResetRestartsAtResetValueAndBadInputIsIgnored) {
    EnvelopeFollower follower;
    follower.setAttackTime(0.001);
    follower.setReleaseTime(0.1);
    run(follower, 0.9, 1000);
    follower.resetValue = 0.3;
    follower.reset();
    EXPECT_EQ(follower.lastOutput, 0.3);
    follower.process(std::nan(""));
    EXPECT_EQ(follower.lastOutput, 0.3);
    follower.process(INFINITY);
    EXPECT_EQ(follower.lastOutput, 0.3);
}
