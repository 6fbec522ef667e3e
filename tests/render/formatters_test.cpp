// The editor's value formatters, on the values the editor's displays actually meet.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "common/value_text.h"

using namespace formatters;

namespace {

std::string shown(Formatter f, float v) {
    char text[kTextSize];
    f(v, text);
    return text;
}

} // namespace

TEST(Formatters, CountTruncatesTowardZero) {
    EXPECT_EQ(shown(formatCount, 7.9f), "7");
    EXPECT_EQ(shown(formatCount, 70.0f), "70");
    EXPECT_EQ(shown(formatCount, -2.5f), "-2");
    // Far outside any count the effect reports: bounded, never undefined.
    EXPECT_EQ(shown(formatCount, 1e20f), "2147483647");
    EXPECT_EQ(shown(formatCount, std::numeric_limits<float>::quiet_NaN()), "0");
}

TEST(Formatters, MillisecondsHaveOneDecimal) {
    EXPECT_EQ(shown(formatMilliseconds, 0.2502664f), "250.3 ms");
    EXPECT_EQ(shown(formatMilliseconds, 16.0f / 44100.0f), "0.4 ms");
    EXPECT_EQ(shown(formatMilliseconds, 1.0f), "1000.0 ms");
}

TEST(Formatters, HertzHaveTwoDecimals) {
    EXPECT_EQ(shown(formatHertz, 0.05f), "0.05 Hz");
    EXPECT_EQ(shown(formatHertz, 20.0f), "20.00 Hz");
}

TEST(Formatters, SyncRatioShowsWholeStepsOrNothing) {
    EXPECT_EQ(shown(formatSyncRatio, 3.0f), "3");
    EXPECT_EQ(shown(formatSyncRatio, 2.999f), "2");
    EXPECT_EQ(shown(formatSyncRatio, 0.5f), "0");
    EXPECT_EQ(shown(formatSyncRatio, 0.0f), "--");
    EXPECT_EQ(shown(formatSyncRatio, -1.0f), "--");
}

TEST(Formatters, TimeSwitchesToSecondsAtOne) {
    EXPECT_EQ(shown(formatTime, 0.0f), "0.00 ms");
    EXPECT_EQ(shown(formatTime, 0.125f), "125.00 ms");
    EXPECT_EQ(shown(formatTime, 0.99999f), "999.99 ms");
    EXPECT_EQ(shown(formatTime, 1.0f), "1.000 s");
    EXPECT_EQ(shown(formatTime, 2.0f), "2.000 s");
    // Not below one, so the seconds branch.
    EXPECT_EQ(shown(formatTime, std::numeric_limits<float>::quiet_NaN()), "nan s");
}

TEST(Formatters, DefaultHasTwoDecimals) {
    EXPECT_EQ(shown(formatDefault, 0.5f), "0.50");
    EXPECT_EQ(shown(formatDefault, -1.0f), "-1.00");
    EXPECT_EQ(shown(formatDefault, 0.98f), "0.98");
}
