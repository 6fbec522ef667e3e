// The demo input: the chord progression and the drums are where they are meant to be.

#include <gtest/gtest.h>

#include <cmath>

#include "demo/demo_signal.h"

namespace {

// Power of one frequency in the left channel over [from, to) seconds (Goertzel).
double power(const std::vector<float>& stereo, double hz, double from, double to) {
    const double fs = 44100.0;
    const double w = 2.0 * M_PI * hz / fs;
    double s1 = 0.0, s2 = 0.0;
    for (auto n = static_cast<std::size_t>(from * fs); n < static_cast<std::size_t>(to * fs); ++n) {
        const double s = stereo[2 * n] + 2.0 * std::cos(w) * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
}

// RMS of the first difference of the left channel: the level of the highs.
double highs(const std::vector<float>& stereo, double from, double to) {
    double sum = 0.0;
    const auto a = static_cast<std::size_t>(from * 44100.0), b = static_cast<std::size_t>(to * 44100.0);
    for (std::size_t n = a; n < b; ++n) {
        const double d = static_cast<double>(stereo[2 * n + 2]) - stereo[2 * n];
        sum += d * d;
    }
    return std::sqrt(sum / static_cast<double>(b - a));
}

} // namespace

TEST(DemoSignal, PlaysTheChordsBarByBar) {
    const std::vector<float> demo = vdemo::makeDemoInput({});
    ASSERT_EQ(demo.size(), 2u * 8u * 44100u);
    // Bar 1 is A minor, bar 2 F major: E4 (a partial of A2 and E3) sounds only in the first,
    // F4 (of F2 and F3) only in the second. Both lie above the drums' tones.
    const double e4 = 329.63, f4 = 349.23;
    EXPECT_GT(power(demo, e4, 0.1, 2.0), 30.0 * power(demo, f4, 0.1, 2.0));
    EXPECT_GT(power(demo, f4, 2.1, 4.0), 30.0 * power(demo, e4, 2.1, 4.0));
}

TEST(DemoSignal, HitsTheDrumsOnTheBeat) {
    const std::vector<float> demo = vdemo::makeDemoInput({});
    // At 120 BPM: a kick (55 Hz, below every chord note) on every whole second, a noise burst
    // on every half; each is far stronger just after its beat than on the beats of the other.
    for (double t = 0.0; t < 7.5; t += 1.0) {
        EXPECT_GT(power(demo, 55.0, t, t + 0.1), 100.0 * power(demo, 55.0, t + 0.5, t + 0.6)) << t;
        EXPECT_GT(highs(demo, t + 0.5, t + 0.55), 3.0 * highs(demo, t, t + 0.05)) << t;
        EXPECT_GT(highs(demo, t + 0.5, t + 0.55), 5.0 * highs(demo, t + 0.8, t + 0.85)) << t;
    }
}

TEST(DemoSignal, FollowsItsSettings) {
    vdemo::DemoSettings settings;
    settings.sampleRate = 22050;
    settings.seconds = 0.5;
    const std::vector<float> demo = vdemo::makeDemoInput(settings);
    EXPECT_EQ(demo.size(), 2u * 11025u);
    EXPECT_EQ(demo, vdemo::makeDemoInput(settings));
}
