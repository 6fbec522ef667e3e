// What the validation battery found, as plain tests in the quick run.

#include <limits>

#include <gtest/gtest.h>

#include "gui/control.h"

namespace {

// The editor shows every value the host stores, and a host may store any
// float: at 3e38 the knob's angle overflowed to infinity, the handle's
// position came out not a number, and converting it to pixels was undefined
// (in practice INT_MIN, then an overflow when the handle was centred on it).
TEST(BatteryFindings, KnobHandleStaysOnTheKnobForAnyStoredValue) {
    auto* knob = new CKnob(CRect(0, 0, 40, 40), nullptr, 19, nullptr, nullptr);
    const CPoint start = knob->handlePoint();
    const float values[] = {3e38f,
                            -3e38f,
                            std::numeric_limits<float>::max(),
                            -std::numeric_limits<float>::max(),
                            1e30f,
                            std::numeric_limits<float>::infinity(),
                            std::numeric_limits<float>::quiet_NaN()};
    for (float value : values) {
        knob->setValue(value);
        const CPoint p = knob->handlePoint();
        EXPECT_TRUE(p.h >= 0 && p.h <= 40 && p.v >= 0 && p.v <= 40) << value << ": " << p.h << ", " << p.v;
    }
    // Where the angle overflows, the handle stands at the start, as for a value that is not a number.
    knob->setValue(std::numeric_limits<float>::max());
    EXPECT_EQ(knob->handlePoint().h, start.h);
    EXPECT_EQ(knob->handlePoint().v, start.v);
    knob->release();
}

} // namespace
