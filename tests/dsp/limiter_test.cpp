#include "dsp/limiter.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Level of the limited signal in dB of power: a power p scaled by the gain g in amplitude.
double outputLevelDb(double power, double gain) {
    return 10.0 * std::log10(power) + 20.0 * std::log10(gain);
}

} // namespace

TEST(Limiter, FeedbackConfiguration) {
    Limiter limiter;
    limiter.configureForFeedback();
    EXPECT_EQ(limiter.thresholdDb, -6.0);
    EXPECT_NEAR(limiter.detector.floor, 0.2399, 1e-4); // 10^(-0.62)
    EXPECT_EQ(limiter.detector.resetValue, limiter.detector.floor);
    EXPECT_EQ(limiter.ratio, 100.0);
    EXPECT_EQ(limiter.inverseRatio, 0.01);
    EXPECT_EQ(limiter.attackTime, 0.002);
    EXPECT_EQ(limiter.releaseTime, 0.2);
    EXPECT_EQ(limiter.smoothedThresholdDb, -12.0); // the glide starts from the old threshold
    // Reference level L = 10^(-6/20): after 0.2 s of release L^4 remains, after 2 ms of
    // attack (1 - L)^2 of the distance remains.
    const double reference = std::pow(10.0, -6.0 / 20.0);
    EXPECT_NEAR(std::pow(limiter.detector.releaseCoefficient, 0.2 * 44100.0), std::pow(reference, 4.0),
                1e-12);
    EXPECT_NEAR(std::pow(limiter.detector.attackCoefficient, 0.002 * 44100.0),
                (1.0 - reference) * (1.0 - reference), 1e-12);
}

TEST(Limiter, CeilingMargin) {
    Limiter limiter;
    limiter.attackTime = 0.1;
    limiter.releaseTime = 0.3;
    limiter.setCeiling(0.0);
    EXPECT_NEAR(limiter.thresholdDb, -3.0103, 1e-4); // 20 log10(sqrt 2)
    EXPECT_NEAR(limiter.detector.floor, std::pow(10.0, -0.32103), 1e-7);

    // Fast times shrink the margin: sqrt(0.01 * 0.04) = 0.02 s, factor sqrt(20 * 0.02).
    limiter.attackTime = 0.01;
    limiter.releaseTime = 0.04;
    limiter.setCeiling(-6.0);
    EXPECT_NEAR(limiter.thresholdDb, -6.0 - 3.0103 * std::sqrt(0.4), 1e-4);
    EXPECT_NEAR(limiter.smoothedThresholdDb, -3.0103, 1e-4);

    // Times of no meaning (negative) count as zero.
    limiter.attackTime = -1.0;
    limiter.setCeiling(-6.0);
    EXPECT_EQ(limiter.thresholdDb, -6.0);
}

TEST(Limiter, LoudSteadyInputSettlesOnePercentAboveThreshold) {
    // Ratio 100: the output level is the threshold plus 1 % of the excess.
    for (double power : {1.0, 100.0}) {
        Limiter limiter;
        limiter.configureForFeedback();
        double gain = 0.0;
        for (int i = 0; i < 20000; ++i) {
            gain = limiter.gainForPower(power);
        }
        const double levelDb = 10.0 * std::log10(power);
        EXPECT_NEAR(outputLevelDb(power, gain), -6.0 + 0.01 * (levelDb + 6.0), 1e-6) << power;

        for (int i = 0; i < 20000; ++i) {
            gain = limiter.gainForPowerSmoothed(power);
        }
        EXPECT_NEAR(outputLevelDb(power, gain), -6.0 + 0.01 * (levelDb + 6.0), 1e-6) << power;
    }
}

TEST(Limiter, WholeExcessWithoutRatio) {
    for (double inverse : {0.0, -0.5}) {
        Limiter limiter;
        limiter.configureForFeedback();
        limiter.inverseRatio = inverse;
        double gain = 0.0;
        for (int i = 0; i < 20000; ++i) {
            gain = limiter.gainForPower(10.0);
        }
        EXPECT_NEAR(outputLevelDb(10.0, gain), -6.0, 1e-6) << inverse;
    }
}

TEST(Limiter, LevelIsFormedInSinglePrecision) {
    // A power a hair above 0.25 rounds to 0.25 in single precision, so its level equals a
    // threshold of 10 log10(0.25) and is not above it: no reduction at all.
    Limiter limiter;
    limiter.detector.attackCoefficient = 0.0;
    limiter.thresholdDb = 10.0 * std::log10(0.25);
    EXPECT_EQ(limiter.gainForPower(0.25 + 1e-12), 1.0);
    EXPECT_EQ(limiter.gainReductionDb, 0.0);
    // The smoothed variant works on the double envelope (its threshold glides from -12 dB).
    limiter.smoothedThresholdDb = limiter.thresholdDb;
    limiter.makeupGain = 0.0;
    limiter.gainForPowerSmoothed(0.25 + 1e-12);
    EXPECT_GT(limiter.gainReductionDb, 0.0);
}

TEST(Limiter, ReductionDecaysBelowThreshold) {
    Limiter limiter;
    limiter.configureForFeedback();
    limiter.reset(); // detector at its floor, -6.2 dB: below the threshold
    limiter.gainReductionDb = 10.0;
    EXPECT_NEAR(limiter.gainForPower(0.0), std::pow(10.0, -7.0 / 20.0), 1e-12);
    EXPECT_NEAR(limiter.gainReductionDb, 7.0, 1e-12);
    limiter.gainForPower(0.01);
    EXPECT_NEAR(limiter.gainReductionDb, 4.9, 1e-12);
    for (int i = 0; i < 100; ++i) {
        limiter.gainForPower(0.0);
    }
    EXPECT_LT(limiter.gainReductionDb, 1e-14);
    // The detector never falls below its floor.
    EXPECT_EQ(limiter.detector.lastOutput, limiter.detector.floor);
}

TEST(Limiter, SmoothedMakeupRisesOnePercentPerCall) {
    Limiter limiter; // detector coefficients 1: the envelope stays 0, far below threshold
    EXPECT_DOUBLE_EQ(limiter.gainForPowerSmoothed(0.0), 0.01);
    EXPECT_DOUBLE_EQ(limiter.gainForPowerSmoothed(0.0), 0.0199);
    for (int i = 2; i < 100; ++i) {
        limiter.gainForPowerSmoothed(0.0);
    }
    EXPECT_NEAR(limiter.lastOutput, 1.0 - std::pow(0.99, 100.0), 1e-12);
    EXPECT_TRUE(std::isfinite(limiter.gainReductionDb));
}

TEST(Limiter, ProcessAppliesTheGainAndSurvivesInfinity) {
    Limiter limiter;
    limiter.configureForFeedback();
    limiter.reset();
    EXPECT_EQ(limiter.process(0.3), 0.3); // -10.5 dB: untouched
    double y = 0.0;
    for (int i = 0; i < 5000; ++i) {
        y = limiter.process(2.0);
    }
    EXPECT_EQ(y, 2.0 * limiter.lastOutput);
    EXPECT_NEAR(20.0 * std::log10(y), -6.0 + 0.01 * 12.0206, 1e-3);

    limiter.gainForPower(INFINITY);
    // Beyond the single-precision range the level is taken as the largest float: about
    // 385 dB, so the reduction still follows.
    limiter.inverseRatio = 0.0;
    for (int i = 0; i < 200; ++i) {
        limiter.gainForPower(1e300);
    }
    EXPECT_NEAR(limiter.gainReductionDb, 10.0 * std::log10(3.4028234663852886e38) + 6.0, 1e-3);
    limiter.gainForPowerSmoothed(INFINITY);
    EXPECT_TRUE(std::isfinite(limiter.gainReductionDb));
    EXPECT_TRUE(std::isfinite(limiter.lastOutput));
}

TEST(Limiter, ResetClearsSignalState) {
    Limiter limiter;
    limiter.configureForFeedback();
    for (int i = 0; i < 100; ++i) {
        limiter.gainForPower(50.0);
    }
    limiter.setSampleRate(48000.0);
    EXPECT_EQ(limiter.detector.sampleRate, 48000.0);
    limiter.reset();
    EXPECT_EQ(limiter.gainReductionDb, 0.0);
    EXPECT_EQ(limiter.detector.lastOutput, limiter.detector.floor);
    EXPECT_EQ(limiter.thresholdDb, -6.0);
}
