// Controls: the value/last-drawn model, the knob's linear and circular drags,
// default click, wheel and keys, and the on/off button.

#include <gtest/gtest.h>

#include <cmath>

#include "gui_test_support.h"

namespace {

// A 30 x 30 knob at (50, 20): centre (65, 35), radius 15.
const CRect kKnobRect(50, 20, 80, 50);
const CPoint kCentre(65, 35);

CPoint onCircle(double degrees, double distance = 30.0) {
    double a = degrees * M_PI / 180.0;
    return CPoint(kCentre.h + static_cast<std::int32_t>(std::lround(std::cos(a) * distance)),
                  kCentre.v - static_cast<std::int32_t>(std::lround(std::sin(a) * distance)));
}

struct KnobFixture : ::testing::Test {
    RecordingHost host;
    RecordingListener listener;
    HeadlessEditor editor{&host, 200, 100};
    CKnob* knob = nullptr;

    void SetUp() override {
        CKnob::setKnobMode(kCircularMode);
        editor.openAndPaint();
        knob = new CKnob(kKnobRect, &listener, 7, nullptr, nullptr);
        editor.getFrame()->addView(knob);
        editor.idle(); // draw it: from here on only changes count as dirty
        host.calls.clear();
    }
    void TearDown() override { CKnob::setKnobMode(kCircularMode); }

    HeadlessPlatform& platform() { return editor.platform(); }
    // Presses at `from` with `buttons`, then the pointer takes each step.
    void drag(CPoint from, std::int32_t buttons, const std::vector<std::pair<CPoint, std::int32_t>>& steps) {
        platform().setPointer(from, buttons);
        for (const auto& step : steps) {
            platform().queuePointer(step.first, step.second);
        }
        editor.window().mouseDown(from, buttons);
    }
    CPoint up(std::int32_t pixels) const { return CPoint(kCentre.h, kCentre.v - pixels); }
    // The reported values with repeats taken out: a knob that has not been
    // redrawn yet still counts as changed and reports its value again.
    std::vector<float> distinctValues() const {
        std::vector<float> values;
        for (const auto& r : listener.reports) {
            if (values.empty() || values.back() != r.value) {
                values.push_back(r.value);
            }
        }
        return values;
    }
};

} // namespace

TEST(ControlValue, DirtyWhileTheValueDiffersFromTheValueLastDrawn) {
    auto* control = new CControl(CRect(0, 0, 10, 10));
    EXPECT_EQ(control->getValue(), 0.f);
    EXPECT_EQ(control->getOldValue(), 1.f);
    EXPECT_TRUE(control->isDirty()); // never drawn
    control->setDirty(false);
    EXPECT_FALSE(control->isDirty());
    control->setValue(0.25f);
    EXPECT_TRUE(control->isDirty());
    control->setDirty(false);
    EXPECT_EQ(control->getOldValue(), 0.25f);
    control->setDirty(true);
    EXPECT_TRUE(control->isDirty());
    EXPECT_EQ(control->getOldValue(), -1.f);
    // A value of -1 must still come out dirty.
    control->setValue(-1.f);
    control->setDirty(true);
    EXPECT_EQ(control->getOldValue(), 0.f);
    EXPECT_TRUE(control->isDirty());
    control->setMin(0.f);
    control->setValue(3.f);
    control->bounceValue();
    EXPECT_EQ(control->getValue(), 1.f);
    control->release();
}

TEST_F(KnobFixture, LinearDragCovers200PixelsUpOrRight) {
    CKnob::setKnobMode(kLinearMode);
    drag(kCentre, kLButton, {{up(50), kLButton}, {up(100), kLButton}, {up(200), kLButton}, {up(260), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    EXPECT_EQ(distinctValues(), (std::vector<float>{0.25f, 0.5f, 1.f}));
    EXPECT_TRUE(listener.reports[0].withContext);
    // One gesture for the whole drag.
    EXPECT_EQ(host.count("begin 7"), 1);
    EXPECT_EQ(host.count("end 7"), 1);
    EXPECT_EQ(host.calls.front(), "begin 7");
    EXPECT_EQ(host.calls.back(), "end 7");
    EXPECT_EQ(editor.getFrame()->getFocusView(), knob);

    // Right counts like up, left and down take away.
    drag(kCentre, kLButton, {{CPoint(kCentre.h - 40, kCentre.v + 60), kLButton}, {kCentre, 0}});
    EXPECT_FLOAT_EQ(listener.last(), 0.5f);
}

TEST_F(KnobFixture, LinearDragWithShiftNeeds300Pixels) {
    CKnob::setKnobMode(kLinearMode);
    drag(kCentre, kLButton | kShift,
         {{up(150), kLButton | kShift}, {up(300), kLButton | kShift}, {up(300), kShift}});
    EXPECT_EQ(distinctValues(), (std::vector<float>{0.5f, 1.f}));
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
}

TEST_F(KnobFixture, PressingShiftHalfwayDoesNotMakeTheValueJump) {
    CKnob::setKnobMode(kLinearMode);
    drag(kCentre, kLButton,
         {{up(100), kLButton},          // 0.5
          {up(100), kLButton | kShift}, // shift pressed: stays 0.5
          {up(175), kLButton | kShift}, // 75 px more at 300 px per range
          {up(250), kLButton | kShift},
          {up(250), kShift}});
    // Never a jump on the change of modifiers: 0.5 stays, then 300 px per range.
    EXPECT_EQ(distinctValues(), (std::vector<float>{0.5f, 0.75f, 1.f}));
}

TEST_F(KnobFixture, AltSwapsLinearAndCircular) {
    // Circular mode, alt held: linear.
    drag(kCentre, kLButton | kAlt, {{up(100), kLButton | kAlt}, {up(100), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    // Linear mode, alt held: circular (a press on the right gives 5/6).
    CKnob::setKnobMode(kLinearMode);
    drag(onCircle(0, 10), kLButton | kAlt, {{onCircle(0, 10), 0}});
    EXPECT_NEAR(knob->getValue(), 225.0 / 270.0, 0.02);
}

TEST_F(KnobFixture, CircularValueFollowsTheAngleAlongTheArc) {
    EXPECT_NEAR(knob->valueFromPoint(onCircle(225)), 0.0, 0.01); // lower left: minimum
    EXPECT_NEAR(knob->valueFromPoint(onCircle(180)), 45.0 / 270.0, 0.01);
    EXPECT_NEAR(knob->valueFromPoint(onCircle(90)), 0.5, 0.01);
    EXPECT_NEAR(knob->valueFromPoint(onCircle(0)), 225.0 / 270.0, 0.01);
    EXPECT_NEAR(knob->valueFromPoint(onCircle(-44)), 1.0, 0.01); // lower right: maximum
    // In the gap: the nearer end.
    EXPECT_FLOAT_EQ(knob->valueFromPoint(onCircle(-60)), 1.f);
    EXPECT_FLOAT_EQ(knob->valueFromPoint(onCircle(-80)), 1.f);
    EXPECT_FLOAT_EQ(knob->valueFromPoint(onCircle(-100)), 0.f);
    EXPECT_FLOAT_EQ(knob->valueFromPoint(onCircle(-130)), 0.f);
}

TEST_F(KnobFixture, CircularDragCannotCrossTheGap) {
    // From the top, clockwise through the gap to the far side.
    drag(onCircle(90, 10), kLButton,
         {{onCircle(0), kLButton},
          {onCircle(-60), kLButton},  // in the gap, near the maximum
          {onCircle(-120), kLButton}, // past the bottom: would be the minimum
          {onCircle(180), kLButton},  // the far side, low values
          {onCircle(180), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    ASSERT_FALSE(listener.reports.empty());
    EXPECT_NEAR(listener.reports.front().value, 0.5, 0.01);
    for (const auto& r : listener.reports) {
        EXPECT_GE(r.value, 0.49f);
    }

    // The other way round it sticks at the minimum; coming back is accepted.
    listener.reports.clear();
    drag(onCircle(180, 10), kLButton,
         {{onCircle(-120), kLButton},
          {onCircle(-60), kLButton},
          {onCircle(0), kLButton},
          {onCircle(200), kLButton},
          {onCircle(200), 0}});
    EXPECT_NEAR(knob->getValue(), 25.0 / 270.0, 0.02);
    for (const auto& r : listener.reports) {
        EXPECT_LE(r.value, 0.2f);
    }
}

TEST_F(KnobFixture, ControlClickSetsTheDefaultAndReportsOnce) {
    knob->setValue(0.2f);
    editor.idle();
    listener.reports.clear();
    drag(kCentre, kLButton | kControl, {{up(100), kLButton}, {up(100), 0}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.5f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FLOAT_EQ(listener.reports[0].value, 0.5f);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 7", "end 7"}));
    // The click was offered to the listener first.
    ASSERT_EQ(listener.modifierClicks.size(), 1u);
    EXPECT_EQ(listener.modifierClicks[0], kLButton | kControl);
    EXPECT_EQ(platform().queuedPointerSteps(), 2u); // no drag followed

    // Already at the default: nothing to report.
    editor.idle();
    drag(kCentre, kLButton | kControl, {});
    EXPECT_EQ(listener.reports.size(), 1u);
}

TEST_F(KnobFixture, AListenerCanConsumeModifierClicks) {
    listener.consumeModifiers = 1;
    knob->setValue(0.2f);
    drag(kCentre, kLButton | kControl, {});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.2f);
    EXPECT_TRUE(listener.reports.empty());
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(KnobFixture, OnlyTheLeftButtonTurnsTheKnob) {
    CKnob::setKnobMode(kLinearMode);
    drag(kCentre, kRButton, {{up(100), kRButton}});
    EXPECT_FLOAT_EQ(knob->getValue(), 0.f);
    EXPECT_TRUE(listener.reports.empty());
}

TEST_F(KnobFixture, WheelStepsByTheIncrementAndATenthWithShift) {
    knob->setValue(0.5f);
    editor.idle();
    platform().setPointer(kCentre, 0);
    editor.window().wheel(kCentre, 1.f);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);
    platform().setPointer(kCentre, kShift);
    editor.window().wheel(kCentre, -2.f);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.58f);
    platform().setPointer(kCentre, 0);
    editor.window().wheel(kCentre, 10.f);
    EXPECT_FLOAT_EQ(knob->getValue(), 1.f);
    ASSERT_EQ(listener.reports.size(), 3u);
    EXPECT_EQ(host.count("begin 7"), 3);
    // The editor's own wheel request goes to the view under the pointer.
    platform().setPointer(kCentre, 0);
    EXPECT_TRUE(editor.onWheel(-1.f));
    EXPECT_FLOAT_EQ(knob->getValue(), 0.9f);
    platform().setPointer(CPoint(5, 5), 0);
    EXPECT_FALSE(editor.onWheel(-1.f));
}

TEST_F(KnobFixture, ArrowKeysStepTheFocusedKnob) {
    knob->setValue(0.5f);
    editor.idle();
    editor.getFrame()->setFocusView(knob);
    CKeyCode upKey{0, VKEY_UP, 0};
    CKeyCode rightFine{0, VKEY_RIGHT, MODIFIER_SHIFT};
    CKeyCode leftKey{0, VKEY_LEFT, 0};
    CKeyCode downKey{0, VKEY_DOWN, 0};
    CKeyCode other{'x', 0, 0};
    EXPECT_EQ(editor.onKeyDown(upKey), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.6f);
    EXPECT_EQ(editor.onKeyDown(rightFine), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.61f);
    EXPECT_EQ(editor.onKeyDown(leftKey), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.51f);
    EXPECT_EQ(editor.onKeyDown(downKey), 1);
    EXPECT_FLOAT_EQ(knob->getValue(), 0.41f);
    EXPECT_EQ(editor.onKeyDown(other), -1);
    ASSERT_EQ(listener.reports.size(), 4u);
    EXPECT_FALSE(listener.reports[0].withContext);
}

TEST_F(KnobFixture, LongDragsLetTheHostIdleAtMostEvery50Milliseconds) {
    CKnob::setKnobMode(kLinearMode);
    host.clock = &platform();
    platform().setClockStep(1); // the pointer is polled as fast as it gets
    std::vector<std::pair<CPoint, std::int32_t>> steps;
    for (int i = 0; i < 600; ++i) {
        steps.push_back({CPoint(kCentre.h, kCentre.v - i % 50), kLButton});
    }
    steps.push_back({kCentre, 0});
    drag(kCentre, kLButton, steps);
    ASSERT_GE(host.idleTimes.size(), 10u);
    for (std::size_t i = 1; i < host.idleTimes.size(); ++i) {
        std::uint32_t gap = host.idleTimes[i] - host.idleTimes[i - 1];
        EXPECT_GE(gap, 50u);
        EXPECT_LE(gap, 60u);
    }
}

TEST_F(KnobFixture, HandleSitsOnTheArcForTheValue) {
    knob->setInsetValue(3);
    knob->setValue(0.f); // 225 degrees: lower left
    EXPECT_EQ(knob->handlePoint(), CPoint(static_cast<int>(15 + std::cos(3.926991) * 12 + 0.5),
                                          static_cast<int>(15 - std::sin(3.926991) * 12 + 0.5)));
    knob->setValue(0.5f); // straight up
    EXPECT_EQ(knob->handlePoint(), CPoint(15, 3));
    knob->setValue(1.f); // lower right
    EXPECT_EQ(knob->handlePoint(), CPoint(23, 23));
}

TEST_F(KnobFixture, FaceAndHandleBlendOverWhatIsUnder) {
    // Face: opaque blue disc-less square with a half-transparent edge column;
    // handle: a 2 x 2 half-transparent white dot.
    auto* face = new GuiBitmap(30, 30);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 30; ++x) {
            face->mutablePixels()[y * 30 + x] = x == 0 ? argb(128, 0, 0, 127) : argb(255, 0, 0, 200);
        }
    }
    auto* handle = new GuiBitmap(2, 2);
    for (int i = 0; i < 4; ++i) {
        handle->mutablePixels()[i] = argb(128, 127, 127, 127);
    }
    auto* dressed = new CKnob(CRect(100, 20, 130, 50), &listener, 9, face, handle);
    face->release();
    handle->release();
    EXPECT_EQ(dressed->getInsetValue(), 3); // half the handle's width + 2.5, truncated
    dressed->setValue(0.5f);
    editor.getFrame()->setBackgroundColor(CColor{200, 0, 0, 255});
    editor.getFrame()->addView(dressed);
    editor.idle();
    HeadlessWindow& w = editor.window();
    // Edge column: half blue over the red background.
    std::uint32_t edge = w.screenPixel(100, 35);
    EXPECT_NEAR(static_cast<int>((edge >> 16) & 0xff), 100, 1);
    EXPECT_NEAR(static_cast<int>(edge & 0xff), 127, 1);
    // Handle centred at (15, 3) of the knob: its top-left at (14, 2).
    std::uint32_t dot = w.screenPixel(114, 22);
    EXPECT_NEAR(static_cast<int>(dot & 0xff), 127 + 100, 1);
    EXPECT_NEAR(static_cast<int>((dot >> 8) & 0xff), 127, 1);
    EXPECT_EQ(w.screenPixel(116, 22), argb(255, 0, 0, 200));
}

namespace {

struct ButtonFixture : KnobFixture {
    COnOffButton* button = nullptr;
    // Two 10 x 10 frames: red above (off), green below (on).
    void makeButton(std::int32_t style) {
        auto* bitmap = new GuiBitmap(10, 20);
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < 10; ++x) {
                bitmap->mutablePixels()[y * 10 + x] = y < 10 ? argb(255, 255, 0, 0) : argb(255, 0, 255, 0);
            }
        }
        button = new COnOffButton(CRect(150, 10, 160, 20), &listener, 22, bitmap, style);
        bitmap->release();
        editor.getFrame()->addView(button);
        editor.idle();
        host.calls.clear();
    }
    std::uint32_t shown() { return editor.window().screenPixel(155, 15); }
};

} // namespace

TEST_F(ButtonFixture, ShowsTheTopFrameForZeroAndTheLowerOneOtherwise) {
    makeButton(0);
    EXPECT_EQ(shown(), argb(255, 255, 0, 0));
    button->setValue(0.4f);
    editor.idle();
    EXPECT_EQ(shown(), argb(255, 0, 255, 0));
    button->setValue(0.f);
    editor.idle();
    EXPECT_EQ(shown(), argb(255, 255, 0, 0));
}

TEST_F(ButtonFixture, AClickTogglesBetweenZeroAndOne) {
    makeButton(0);
    button->setValue(0.4f); // integer part 0: a click gives 1
    editor.idle();
    editor.window().mouseDown(CPoint(155, 15), kLButton);
    EXPECT_FLOAT_EQ(button->getValue(), 1.f);
    editor.window().mouseDown(CPoint(155, 15), kLButton);
    EXPECT_FLOAT_EQ(button->getValue(), 0.f);
    ASSERT_EQ(listener.reports.size(), 2u);
    EXPECT_FLOAT_EQ(listener.reports[0].value, 1.f);
    EXPECT_FLOAT_EQ(listener.reports[1].value, 0.f);
    EXPECT_EQ(host.count("begin 22"), 2);
    editor.window().mouseDown(CPoint(155, 15), kRButton);
    EXPECT_EQ(listener.reports.size(), 2u);
}

TEST_F(ButtonFixture, StyleZeroIdlesBeforeReportingAndStyleOneAfter) {
    makeButton(0);
    editor.window().mouseDown(CPoint(155, 15), kLButton);
    // The idle pass drew the new frame, and the change was still reported.
    EXPECT_EQ(host.calls, (std::vector<std::string>{"idle", "begin 22", "end 22"}));
    EXPECT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(shown(), argb(255, 0, 255, 0));

    platform().setTime(platform().time() + 1000);
    host.calls.clear();
    button->setStyle(1);
    editor.window().mouseDown(CPoint(155, 15), kLButton);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 22", "end 22", "idle"}));
    EXPECT_EQ(listener.reports.size(), 2u);
}
