#include "dsp/block_collector.h"
#include "dsp/dc_blocker.h"
#include "dsp/sample_hold_decimator.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <vector>

TEST(SampleHoldDecimator, PeriodOneTakesEverySecondInput) {
    for (double period : {1.0, 0.5, -3.0}) {
        SampleHoldDecimator decimator;
        decimator.setPeriod(period);
        EXPECT_EQ(decimator.step, 1.0);
        EXPECT_EQ(decimator.process(5.0), 0.0); // phase reaches exactly 1: no new sample
        EXPECT_EQ(decimator.process(2.0), 2.0);
        EXPECT_EQ(decimator.process(7.0), 2.0 * 0.98);
        EXPECT_EQ(decimator.process(4.0), 4.0);
    }
}

TEST(SampleHoldDecimator, PeriodSixtyFourCadenceAndDroop) {
    SampleHoldDecimator decimator;
    decimator.setPeriod(64.0);
    std::vector<int> taken;
    std::vector<double> out;
    for (int n = 0; n < 1000; ++n) {
        const double input = 1.0 + n; // every input distinct
        out.push_back(decimator.process(input));
        if (out.back() == input) {
            taken.push_back(n);
        }
    }
    ASSERT_GE(taken.size(), 14u);
    for (size_t k = 1; k < taken.size(); ++k) {
        EXPECT_EQ(taken[k] - taken[k - 1], 64);
    }
    // In between the held value falls to 0.98^63, about 0.28, of the taken input.
    const int t = taken[1];
    EXPECT_NEAR(out[t + 63] / out[t], std::pow(0.98, 63.0), 1e-12);
    EXPECT_NEAR(out[t + 63] / out[t], 0.28, 0.005);

    // A fractional period takes inputs at its average rate.
    decimator.setPeriod(2.5);
    int takes = 0;
    for (int n = 0; n < 1000; ++n) {
        const double input = 2000.0 + n;
        takes += decimator.process(input) == input;
    }
    EXPECT_NEAR(takes, 400, 1);

    decimator.reset();
    EXPECT_EQ(decimator.lastOutput, 0.0);
    EXPECT_EQ(decimator.phase, 0.0);
    EXPECT_EQ(decimator.step, 1.0 / 2.5); // the period is configuration, not signal state
}

TEST(DcBlocker, HalvesDcAndPassesTheAudioBand) {
    DcBlocker blocker;
    EXPECT_EQ(blocker.zeroCoefficient, 0.9990000128746033);
    EXPECT_EQ(blocker.poleCoefficient, 0.9980000257492065);
    double y = 0.0;
    for (int i = 0; i < 40000; ++i) {
        y = blocker.process(0.8);
    }
    EXPECT_NEAR(y, 0.4, 1e-6); // DC gain 0.5

    // Half the sample rate: (1 + 0.999) / (1 + 0.998), about 1.0005.
    blocker.reset();
    for (int i = 0; i < 40000; ++i) {
        y = blocker.process(i % 2 ? -1.0 : 1.0);
    }
    EXPECT_NEAR(std::fabs(y), 1.0005, 1e-5);

    // 1 kHz at 44.1 kHz: the gain stays within 0.01 dB of unity.
    blocker.reset();
    double in2 = 0.0;
    double out2 = 0.0;
    for (int i = 0; i < 88200; ++i) {
        const double x = std::sin(2.0 * std::numbers::pi * 1000.0 * i / 44100.0);
        y = blocker.process(x);
        if (i >= 44100) {
            in2 += x * x;
            out2 += y * y;
        }
    }
    EXPECT_NEAR(10.0 * std::log10(out2 / in2), 0.0, 0.01);
}

TEST(DcBlocker, OwnCoefficientsAndReset) {
    DcBlocker blocker(0.5f, 0.0f); // y = x - 0.5 x[n-1]
    EXPECT_EQ(blocker.process(1.0), 1.0);
    EXPECT_EQ(blocker.process(0.0), -0.5);
    EXPECT_EQ(blocker.process(0.0), 0.0);
    blocker.process(3.0);
    blocker.reset();
    EXPECT_EQ(blocker.state, 0.0);
    EXPECT_EQ(blocker.lastOutput, 0.0);
    EXPECT_EQ(blocker.process(2.0), 2.0);
}

TEST(BlockCollector, SignalsOnTheLastSampleOfEachBlock) {
    auto collector = std::make_unique<BlockCollector>();
    EXPECT_EQ(collector->getLength(), 44099);
    EXPECT_EQ(collector->size, 44100);
    collector->setLength(4);
    for (int block = 0; block < 3; ++block) {
        for (int i = 0; i < 4; ++i) {
            const double signal = collector->process(10.0 * block + i);
            EXPECT_EQ(signal, i == 3 ? 1.0 : 0.0);
            EXPECT_EQ(collector->lastOutput, signal);
        }
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(collector->buffer[i], 10.0 * block + i);
        }
    }
    collector->setLength(100000);
    EXPECT_EQ(collector->getLength(), 44099);
}

TEST(BlockCollector, ShortLengthsSignalEverySample) {
    auto collector = std::make_unique<BlockCollector>();
    for (std::int32_t length : {1, 0, -5}) {
        collector->setLength(length);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(collector->process(i + 1.0), 1.0) << length;
            EXPECT_EQ(collector->buffer[0], i + 1.0);
            EXPECT_EQ(collector->position, 0);
        }
    }
}

TEST(BlockCollector, ShorteningBehindThePositionEndsTheBlockNext) {
    auto collector = std::make_unique<BlockCollector>();
    collector->setLength(10);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(collector->process(1.0), 0.0);
    }
    collector->setLength(4);
    EXPECT_EQ(collector->process(7.0), 1.0);
    EXPECT_EQ(collector->buffer[6], 7.0);
    EXPECT_EQ(collector->position, 0);
    EXPECT_EQ(collector->process(8.0), 0.0);
    EXPECT_EQ(collector->buffer[0], 8.0);
}

TEST(BlockCollector, TapAddressesAndReset) {
    auto collector = std::make_unique<BlockCollector>();
    for (int i = 0; i < 5; ++i) {
        collector->process(i);
    }
    const double* base = collector->buffer;
    EXPECT_EQ(collector->tap(1), base + 4);
    EXPECT_EQ(*collector->tap(1), 4.0);
    EXPECT_EQ(collector->tap(5), base);
    EXPECT_EQ(collector->tap(0), base + 5);
    EXPECT_EQ(collector->tap(6), base + 44099);
    EXPECT_EQ(collector->tap(-1), base + 6);
    EXPECT_EQ(collector->tap(44100), base + 5);
    EXPECT_EQ(collector->tap(2'000'000'000), base + (5 - 2'000'000'000 % 44100 + 44100) % 44100);

    collector->reset();
    EXPECT_EQ(collector->position, 0);
    EXPECT_EQ(collector->lastOutput, 0.0);
    EXPECT_EQ(collector->buffer[0], 0.0);
    EXPECT_EQ(collector->buffer[1], 1.0); // only slot 0 is cleared
}
