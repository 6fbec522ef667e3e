#include "dsp/cubic_delay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Position of the largest output of an impulse fed at sample 0.
size_t impulseArrival(CubicDelay& delay, size_t length, double* peak) {
    size_t where = 0;
    *peak = 0.0;
    for (size_t n = 0; n < length; ++n) {
        double y = delay.process(n == 0 ? 1.0 : 0.0);
        if (std::fabs(y) > std::fabs(*peak)) {
            *peak = y;
            where = n;
        }
    }
    return where;
}

TEST(CubicDelay, WholeSampleDelayIsExactAndOneLongerThanAsked) {
    struct Case {
        double sampleRate;
        float seconds;
        size_t arrival; // sampleRate * seconds + 1
    };
    for (Case c : {Case{44100.0, 0.25f, 11026}, Case{1024.0, 1.0f / 64.0f, 17},
                   Case{1024.0, 1.0f / 1024.0f, 2}, Case{1024.0, 0.5f, 513}}) {
        auto delay = std::make_unique<CubicDelay>();
        delay->setSampleRate(c.sampleRate);
        EXPECT_EQ(delay->setDelaySeconds(c.seconds), c.seconds);
        EXPECT_EQ(delay->getDelaySeconds(), c.seconds);
        EXPECT_EQ(delay->getDelaySamples(), static_cast<int32_t>(c.arrival) - 2);
        EXPECT_EQ(delay->fraction, 0.0f);
        std::vector<double> out(c.arrival + 50);
        for (size_t n = 0; n < out.size(); ++n) {
            out[n] = delay->process(n == 0 ? 1.0 : 0.0);
        }
        for (size_t n = 0; n < out.size(); ++n) {
            if (n == c.arrival) {
                EXPECT_EQ(out[n], 1.0);
            } else {
                ASSERT_LT(std::fabs(out[n]), 1e-20) << "sample " << n << " of delay " << c.arrival;
            }
        }
    }
}

TEST(CubicDelay, FractionalDelayShiftsTheSinePhase) {
    struct Case {
        double samples; // requested delay in samples, before the extra one
        double frequency;
        double tolerance;
    };
    for (Case c : {Case{101.25, 441.0, 2e-5}, Case{57.5, 441.0, 2e-5}, Case{300.8, 441.0, 2e-5},
                   Case{57.5, 2000.0, 1e-3}}) {
        auto delay = std::make_unique<CubicDelay>();
        auto seconds = static_cast<float>(c.samples / 44100.0);
        delay->setDelaySeconds(seconds);
        const double expectedDelay = 44100.0 * static_cast<double>(seconds) + 1.0;
        const double w = 2.0 * kPi * c.frequency / 44100.0;
        double worst = 0.0;
        for (int n = 0; n < 2000; ++n) {
            double y = delay->process(std::sin(w * n));
            // The interpolation is carried in single precision.
            ASSERT_EQ(y, static_cast<double>(static_cast<float>(y)));
            if (n > 400) {
                worst = std::max(worst, std::fabs(y - std::sin(w * (n - expectedDelay))));
            }
        }
        // Half a sample of error would be w / 2 (0.03 at 441 Hz).
        EXPECT_LT(worst, c.tolerance) << c.samples << " samples at " << c.frequency << " Hz";
    }
}

TEST(CubicDelay, RequestsBeyondTheRingStopAtTheLongestReadableDelay) {
    auto delay = std::make_unique<CubicDelay>();
    float accepted = delay->setDelaySeconds(10.0f);
    EXPECT_EQ(delay->getDelaySamples(), 176396);
    EXPECT_EQ(delay->fraction, 0.0f);
    EXPECT_EQ(accepted, static_cast<float>(176396.0 / 44100.0));
    EXPECT_EQ(delay->getDelaySeconds(), accepted);
    EXPECT_EQ(delay->setDelaySeconds(1.0e30f), accepted);
    EXPECT_EQ(delay->getDelaySamples(), 176396);

    // The longest delay still delays: with no fraction an impulse comes out D + 2 samples later,
    // not from the newest samples of the ring.
    delay->reset();
    const int expected = delay->getDelaySamples() + 2;
    int peakAt = -1;
    for (int n = 0; n <= expected + 2; ++n) {
        const double y = delay->process(n == 0 ? 1.0 : 0.0);
        if (y > 0.5) {
            peakAt = n;
        }
    }
    EXPECT_EQ(peakAt, expected);
}

TEST(CubicDelay, RequestsOfNoDelayKeepThePreviousOne) {
    auto delay = std::make_unique<CubicDelay>();
    delay->setSampleRate(1024.0);
    delay->setDelaySeconds(0.125f);
    const int32_t tap0 = delay->tap0;
    for (float refused : {0.0f, -1.0f, -1.0e30f, NAN}) {
        EXPECT_EQ(delay->setDelaySeconds(refused), 0.125f);
        EXPECT_EQ(delay->getDelaySamples(), 127);
        EXPECT_EQ(delay->tap0, tap0);
    }
    // Just above zero is still a delay: interpolated a hair short of
    // two samples back.
    EXPECT_EQ(delay->setDelaySeconds(0.5f / 1024.0f), 0.5f / 1024.0f);
    EXPECT_EQ(delay->getDelaySamples(), 0);
    EXPECT_EQ(delay->fraction, 0.5f);
}

// A change of 4 to 7 samples blends the old read neighbourhood into the new
// one, weighted 0.2, 0.4, 0.6, 0.8 from the newest tap to the oldest.
TEST(CubicDelay, MiddlingTapJumpsBlendTheOldNeighbourhood) {
    struct Case {
        int32_t from;
        int32_t to;
        bool blends;
    };
    for (Case c : {Case{100, 103, false}, Case{100, 104, true}, Case{100, 105, true}, Case{100, 107, true},
                   Case{100, 108, false}, Case{100, 94, true}, Case{100, 92, false}}) {
        auto delay = std::make_unique<CubicDelay>();
        delay->setSampleRate(1024.0);
        // With the rate a power of two, (D + 1) / 1024 s is exactly D samples.
        delay->setDelaySeconds(static_cast<float>(c.from + 1) / 1024.0f);
        ASSERT_EQ(delay->getDelaySamples(), c.from);
        const int32_t size = delay->size;
        for (int32_t i = 0; i < size; ++i) {
            delay->buffer[i] = 1000.0 + i;
        }
        delay->setDelaySeconds(static_cast<float>(c.to + 1) / 1024.0f);
        ASSERT_EQ(delay->getDelaySamples(), c.to);

        const float oldWeights[4] = {0.2f, 0.4f, 0.6f, 0.8f};
        const float newWeights[4] = {0.8f, 0.6f, 0.4f, 0.2f};
        const int32_t writeIndex = delay->writeIndex;
        for (int32_t k = 0; k < 4; ++k) {
            int32_t oldSlot = (writeIndex - c.from - k + size) % size;
            int32_t newSlot = (writeIndex - c.to - k + size) % size;
            double expected = c.blends ? static_cast<double>(oldWeights[k]) * (1000.0 + oldSlot) +
                                             static_cast<double>(newWeights[k]) * (1000.0 + newSlot)
                                       : 1000.0 + newSlot;
            EXPECT_DOUBLE_EQ(delay->buffer[newSlot], expected)
                << "from " << c.from << " to " << c.to << " tap " << k;
        }
        // Nothing else in the ring is touched.
        int changed = 0;
        for (int32_t i = 0; i < size; ++i) {
            changed += delay->buffer[i] != 1000.0 + i ? 1 : 0;
        }
        EXPECT_EQ(changed, c.blends ? 4 : 0);
    }
}

TEST(CubicDelay, SilenceIsStoredAsAlternatingTinyValues) {
    auto delay = std::make_unique<CubicDelay>();
    for (int n = 0; n < 64; ++n) {
        delay->process(0.0);
    }
    for (int n = 0; n < 64; ++n) {
        double expected = (n % 2 == 0 ? 1.0 : -1.0) * static_cast<double>(1e-30f);
        ASSERT_EQ(delay->buffer[n], expected) << "slot " << n;
    }
    EXPECT_EQ(delay->buffer[64], 0.0);
}

TEST(CubicDelay, ResetSilencesTheRingAndKeepsTheDelay) {
    auto delay = std::make_unique<CubicDelay>();
    delay->setSampleRate(1024.0);
    delay->setDelaySeconds(0.125f);
    for (int n = 0; n < 3000; ++n) {
        delay->process(std::sin(0.1 * n));
    }
    delay->reset();
    EXPECT_EQ(delay->lastOutput, 0.0);
    EXPECT_EQ(delay->getDelaySamples(), 127);
    double peak = 0.0;
    EXPECT_EQ(impulseArrival(*delay, 300, &peak), 129u);
    EXPECT_EQ(peak, 1.0);
}

TEST(CubicDelay, RingWrapKeepsTheDelay) {
    auto delay = std::make_unique<CubicDelay>();
    delay->setSampleRate(1024.0);
    delay->setDelaySeconds(0.125f);
    for (int32_t n = 0; n < kDelayCapacity - 60; ++n) {
        delay->process(0.0);
    }
    double peak = 0.0;
    EXPECT_EQ(impulseArrival(*delay, 300, &peak), 129u);
    EXPECT_EQ(peak, 1.0);
}

} // namespace
