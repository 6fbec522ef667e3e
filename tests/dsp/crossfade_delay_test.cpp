#include "dsp/crossfade_delay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Frequency from the spacing of upward zero crossings in y[begin, end),
// each crossing located by linear interpolation.
double zeroCrossingFrequency(const std::vector<double>& y, size_t begin, size_t end, double fs) {
    double first = -1.0;
    double last = -1.0;
    int count = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (y[i - 1] < 0.0 && y[i] >= 0.0) {
            double t = static_cast<double>(i - 1) + y[i - 1] / (y[i - 1] - y[i]);
            if (count == 0) {
                first = t;
            }
            last = t;
            ++count;
        }
    }
    if (count < 2) {
        return 0.0;
    }
    return (count - 1) / (last - first) * fs;
}

std::vector<double> runSine(CrossfadeDelay& delay, double frequency, size_t length) {
    std::vector<double> out(length);
    const double w = 2.0 * kPi * frequency / delay.sampleRate;
    for (size_t n = 0; n < length; ++n) {
        out[n] = delay.process(std::sin(w * static_cast<double>(n)));
    }
    return out;
}

TEST(CrossfadeDelay, ZeroWindowPassesTheCurrentInput) {
    for (float rate : {0.5f, 1.0f, 1.7f}) {
        auto delay = std::make_unique<CrossfadeDelay>();
        delay->rate = rate;
        for (int n = 0; n < 500; ++n) {
            double x = std::sin(0.37 * n) + 0.1 * n;
            ASSERT_EQ(delay->process(x), x) << "rate " << rate << " sample " << n;
            ASSERT_EQ(delay->offset, 0.0f);
        }
    }
}

TEST(CrossfadeDelay, WindowRequestBeyondTheRingIsLimited) {
    auto delay = std::make_unique<CrossfadeDelay>();
    EXPECT_EQ(delay->setWindow(176400.5f), 176399.0f);
    EXPECT_EQ(delay->window, 176399.0f);
    EXPECT_EQ(delay->getNominalWindow(), 176399.0f);
    EXPECT_EQ(delay->setWindow(1.0e9f), 176399.0f);
    EXPECT_EQ(delay->setWindow(INFINITY), 176399.0f);
    // Whose ceiling still fits is kept as asked.
    EXPECT_EQ(delay->setWindow(176399.5f), 176399.5f);
    EXPECT_EQ(delay->setWindow(1234.25f), 1234.25f);
    EXPECT_EQ(delay->getNominalWindow(), 1234.25f);
    // Requests that would put a tap outside the ring are refused as 0.
    EXPECT_EQ(delay->setWindow(-5.0f), 0.0f);
    EXPECT_EQ(delay->setWindow(NAN), 0.0f);
    EXPECT_EQ(delay->getReserved(), 0);
}

TEST(CrossfadeDelay, UnitRateIsAFixedTwoTapDelay) {
    auto delay = std::make_unique<CrossfadeDelay>();
    delay->setWindow(1000.0f);
    delay->offset = 300.0f;
    std::vector<double> out(1500);
    for (size_t n = 0; n < out.size(); ++n) {
        out[n] = delay->process(n == 0 ? 1.0 : 0.0);
    }
    for (size_t n = 0; n < out.size(); ++n) {
        double expected = n == 300 ? 0.3 : n == 1300 ? 0.7 : 0.0;
        ASSERT_NEAR(out[n], expected, 1e-12) << "sample " << n;
    }
    EXPECT_EQ(delay->offset, 300.0f);
}

// Once per pass the upper interpolation slot wraps from N to 0; the
// interpolation distance must come from the unwrapped position or that
// sample is scaled by about -176400.
TEST(CrossfadeDelay, FractionalTapCrossesTheRingWrapWithoutAClick) {
    auto delay = std::make_unique<CrossfadeDelay>();
    delay->setWindow(1000.0f);
    delay->offset = 0.5f;
    const double w = 2.0 * kPi * 441.0 / 44100.0;
    const size_t length = static_cast<size_t>(kDelayCapacity) + 3000;
    double previous = 0.0;
    double largestStep = 0.0;
    for (size_t n = 0; n < length; ++n) {
        double y = delay->process(std::sin(w * static_cast<double>(n)));
        if (n > 2000) {
            largestStep = std::max(largestStep, std::fabs(y - previous));
        }
        previous = y;
    }
    // A unit sine moves at most w per sample.
    EXPECT_LT(largestStep, w * 1.01);
    EXPECT_GT(largestStep, w * 0.9);
}

TEST(CrossfadeDelay, DriftingTapsStayContinuousAcrossCrossfadesAndTheRingWrap) {
    auto delay = std::make_unique<CrossfadeDelay>();
    delay->setWindow(2000.0f);
    delay->rate = 1.3f;
    const double w = 2.0 * kPi * 200.0 / 44100.0;
    const size_t length = static_cast<size_t>(kDelayCapacity) + 5000;
    double previous = 0.0;
    double largestStep = 0.0;
    for (size_t n = 0; n < length; ++n) {
        double y = delay->process(std::sin(w * static_cast<double>(n)));
        if (n > 5000) {
            largestStep = std::max(largestStep, std::fabs(y - previous));
        }
        previous = y;
        ASSERT_GE(delay->offset, 0.0f);
        ASSERT_LE(delay->offset, 2000.0f);
    }
    // Both taps move at 1.3 w per sample; the crossfade weight moves by
    // 0.3 / 2000 per sample across taps at most 2 apart.
    EXPECT_LT(largestStep, 1.3 * w + 2.0 * 0.3 / 2000.0 + 1e-3);
}

TEST(CrossfadeDelay, RateTwoDoublesAndRateHalfHalvesTheFrequency) {
    struct Case {
        float rate;
        double expected;
    };
    for (Case c : {Case{2.0f, 882.0}, Case{0.5f, 220.5}}) {
        auto delay = std::make_unique<CrossfadeDelay>();
        // 2000 samples is 20 periods of the input, so the two taps agree in
        // phase and the crossfade adds no modulation of its own.
        delay->setWindow(2000.0f);
        delay->rate = c.rate;
        std::vector<double> out = runSine(*delay, 441.0, 24000);
        double measured = zeroCrossingFrequency(out, 8000, out.size(), 44100.0);
        EXPECT_NEAR(measured, c.expected, 0.5) << "rate " << c.rate;
    }
}

TEST(CrossfadeDelay, ResetClearsTheRingButKeepsTheSettings) {
    auto delay = std::make_unique<CrossfadeDelay>();
    delay->setWindow(100.0f);
    delay->rate = 1.5f;
    for (int n = 0; n < 1000; ++n) {
        delay->process(1.0);
    }
    const float offset = delay->offset;
    const int32_t writeIndex = delay->writeIndex;
    delay->reset();
    EXPECT_EQ(delay->lastOutput, 0.0);
    EXPECT_EQ(delay->offset, offset);
    EXPECT_EQ(delay->writeIndex, writeIndex);
    EXPECT_EQ(delay->window, 100.0f);
    EXPECT_EQ(delay->rate, 1.5f);
    delay->rate = 1.0f;
    for (int n = 0; n < 50; ++n) {
        ASSERT_EQ(delay->process(0.0), 0.0);
    }
}

TEST(CrossfadeDelay, NanRateHoldsTheOffset) {
    auto delay = std::make_unique<CrossfadeDelay>();
    delay->setWindow(100.0f);
    delay->offset = 40.0f;
    delay->rate = NAN;
    for (int n = 0; n < 10; ++n) {
        EXPECT_TRUE(std::isfinite(delay->process(1.0)));
    }
    EXPECT_EQ(delay->offset, 40.0f);
}

} // namespace
