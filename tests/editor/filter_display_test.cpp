// The filter display: the curve read back from the screen's pixels, the drag
// that sets cutoff and resonance, the type pop-up, fine dragging and keys.

#include <cmath>
#include <optional>

#include "editor_test_support.h"

namespace {

const CRect kArea(445, 100, 550, 200);
constexpr std::int32_t kTextRows = 20; // the type's name lives above this

class FilterDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.open());
        display = rig.editor().getFilterDisplay();
        ASSERT_NE(display, nullptr);
        FakeHost::calls.clear();
    }
    void idle() { rig.effect->dispatcher(vst2::effEditIdle, 0, 0, nullptr, 0.0f); }
    void show(float type, float cutoff, float resonance) {
        rig.hostSets(18, type);
        rig.hostSets(19, cutoff);
        rig.hostSets(20, resonance);
        idle();
    }
    // The topmost row (from the display's top) of the curve in a column, if
    // the curve passes through it inside the display.
    std::optional<std::int32_t> curveRow(std::int32_t column) {
        const std::uint32_t gold = rgbOf(PluginEditor::kTextColour);
        for (std::int32_t row = kTextRows; row < kArea.height(); ++row) {
            if (rig.pixel(kArea.left + column, kArea.top + row) == gold) {
                return row;
            }
        }
        return std::nullopt;
    }
    // The column where a normalised frequency lies on the log axis.
    static std::int32_t columnOf(double frequency) {
        return static_cast<std::int32_t>(kArea.width() * std::log(frequency / FilterDisplay::kMinFrequency) /
                                         -std::log(FilterDisplay::kMinFrequency));
    }
    void dragTo(CPoint from, const std::vector<CPoint>& steps, std::int32_t modifiers = 0) {
        for (const CPoint& p : steps) {
            rig.headless->queuePointer(p, kLButton | modifiers);
        }
        rig.headless->queuePointer(steps.empty() ? from : steps.back(), 0);
        rig.press(from, kLButton);
    }

    HeadlessRig rig;
    FilterDisplay* display = nullptr;
};

} // namespace

TEST_F(FilterDisplayTest, APeakingFilterWithoutGainIsFlatAtThreeSeventhsOfTheHeight) {
    show(0.7f, 0.3f, 0.5f); // Peaking, gain 2 * 0.5 = 1
    for (float point : std::vector<float>(display->getResponse(), display->getResponse() + 256)) {
        EXPECT_NEAR(point, 3.0f / 7.0f, 1e-4f);
    }
    // The last column holds only the line's end point, which is not drawn.
    for (std::int32_t column = 0; column < kArea.width() - 1; ++column) {
        EXPECT_EQ(curveRow(column), std::optional<std::int32_t>(42)) << column;
    }
    EXPECT_STREQ(display->getTypeName(), "Peaking");
}

TEST_F(FilterDisplayTest, ALowpassCurveFallsPastItsCutoff) {
    const float cutoff = 0.05f;
    show(0.0f, cutoff, 0.3f);
    // Far below the cutoff the gain is 0 dB: 30 of 70 dB down from the top.
    for (std::int32_t column = 0; column < columnOf(cutoff / 8); ++column) {
        EXPECT_EQ(curveRow(column), std::optional<std::int32_t>(42)) << column;
    }
    // Above it the curve only falls, about 12 dB an octave: two octaves up
    // it is near -24 dB (row 77), and it leaves the display before Nyquist.
    std::int32_t previous = 0;
    for (std::int32_t column = columnOf(cutoff * 1.5); column < kArea.width() - 1; ++column) {
        const std::int32_t row = curveRow(column).value_or(kArea.height());
        EXPECT_GE(row, previous) << column;
        previous = row;
    }
    const std::int32_t twoOctaves = curveRow(columnOf(cutoff * 4)).value_or(kArea.height());
    EXPECT_GE(twoOctaves, 72);
    EXPECT_LE(twoOctaves, 82);
    EXPECT_FALSE(curveRow(kArea.width() - 2).has_value());
}

TEST_F(FilterDisplayTest, AHighpassMirrorsTheLowpass) {
    show(0.1f, 0.05f, 0.3f);
    EXPECT_STREQ(display->getTypeName(), "Highpass");
    EXPECT_FALSE(curveRow(2).has_value()); // far below the cutoff: below -40 dB
    EXPECT_EQ(curveRow(kArea.width() - 3), std::optional<std::int32_t>(42));
}

TEST_F(FilterDisplayTest, ADragSendsCutoffResonanceAndTypeInThatOrder) {
    dragTo(CPoint(470, 150), {CPoint(480, 140), CPoint(490, 130)});
    const auto log = FakeHost::log();
    ASSERT_GE(log.size(), 2u + 3u * 2u);
    EXPECT_EQ(log.front(), "begin 19");
    EXPECT_EQ(log.back(), "end 19");
    ASSERT_EQ((log.size() - 2) % 3, 0u);
    for (std::size_t i = 1; i + 1 < log.size(); i += 3) {
        EXPECT_EQ(log[i], "automate 19") << i;
        EXPECT_EQ(log[i + 1], "automate 20") << i;
        EXPECT_EQ(log[i + 2], "automate 18") << i;
    }
    for (float type : FakeHost::automated(18)) {
        EXPECT_EQ(type, 0.0f); // the type rides along unchanged
    }
    // Cutoff from the horizontal position on the log axis, resonance from the height.
    const double x = (490.0 - 445.0) / 105.0;
    EXPECT_NEAR(rig.effect->getParameter(19), std::exp(std::log(FilterDisplay::kMinFrequency) * (1.0 - x)),
                1e-6);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(20), 0.7f);
    EXPECT_EQ(display->getTag(), 18); // back to the menu's tag
}

TEST_F(FilterDisplayTest, DraggingBeyondTheEdgesStopsAtTheBounds) {
    dragTo(CPoint(470, 150), {CPoint(300, 50)});
    EXPECT_FLOAT_EQ(rig.effect->getParameter(19), 0.0022675737f);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(20), 1.0f);
    dragTo(CPoint(470, 150), {CPoint(700, 300)});
    EXPECT_FLOAT_EQ(rig.effect->getParameter(19), 1.0f);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(20), 0.02f);
}

TEST_F(FilterDisplayTest, ShiftMakesTheDragTenTimesFiner) {
    EXPECT_FLOAT_EQ(display->getFineFactor(), 10.0f);
    // The press puts the cutoff under the pointer; with shift, the next 50
    // pixels right move it by 5 pixels' worth, and 30 pixels up add 0.03.
    dragTo(CPoint(470, 150), {CPoint(470, 150), CPoint(520, 120)}, 0);
    const float coarse = FilterDisplay::positionOfCutoff(rig.effect->getParameter(19));
    EXPECT_NEAR(coarse, 75.0f / 105.0f, 1e-4f);

    rig.headless->queuePointer(CPoint(470, 150), kLButton);
    rig.headless->queuePointer(CPoint(520, 120), kLButton | kShift);
    rig.headless->queuePointer(CPoint(520, 120), 0);
    rig.press(CPoint(470, 150), kLButton);
    EXPECT_NEAR(FilterDisplay::positionOfCutoff(rig.effect->getParameter(19)), 30.0f / 105.0f, 1e-4f);
    EXPECT_NEAR(rig.effect->getParameter(20), 0.5f + 0.03f, 1e-5f);
}

TEST_F(FilterDisplayTest, ARightClickChoosesTheTypeFromThePopup) {
    rig.headless->chooseMenuItem("Highpass");
    rig.press(CPoint(480, 150), kRButton);
    EXPECT_EQ(FakeHost::log(),
              (std::vector<std::string>{"begin 18", "automate 19", "automate 20", "automate 18", "end 18"}));
    EXPECT_FLOAT_EQ(rig.effect->getParameter(18), 0.1f);
    // Cutoff and resonance are sent as they were.
    EXPECT_FLOAT_EQ(rig.effect->getParameter(19), 0.1f);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(20), 1.0f);

    ASSERT_EQ(rig.headless->popups().size(), 1u);
    const HeadlessPopupRecord& popup = rig.headless->popups()[0];
    // It opens over the click: the right button's release must not choose.
    EXPECT_FALSE(popup.rightButton);
    const CPoint origin = rig.window().screenPosition();
    EXPECT_EQ(popup.position, CPoint(origin.h + 445, origin.v + 100)); // at the top-left corner
    ASSERT_EQ(popup.items.size(), 8u);
    EXPECT_TRUE((popup.items[0].flags & GuiPopupItem::kChecked) != 0); // the type then in force
    idle();
    EXPECT_STREQ(display->getTypeName(), "Highpass");
}

TEST_F(FilterDisplayTest, ADismissedPopupChangesNothing) {
    rig.headless->setMenuChooser(nullptr);
    rig.press(CPoint(480, 150), kRButton);
    for (std::int32_t index : {18, 19, 20}) {
        EXPECT_TRUE(FakeHost::automated(index).empty()) << index;
    }
    float cutoff = 0.0f;
    float resonance = 0.0f;
    std::int32_t type = -1;
    display->getFilterState(cutoff, resonance, type);
    EXPECT_EQ(type, 0);
    EXPECT_FLOAT_EQ(cutoff, 0.1f);
}

TEST_F(FilterDisplayTest, TypeEightChecksTheLastEntryKeepsTheNameAndDrawsAnAllpass) {
    idle();
    EXPECT_STREQ(display->getTypeName(), "Lowpass");
    show(0.8f, 0.3f, 0.5f); // 8.5 truncates to 8: the second-order all-pass design
    EXPECT_STREQ(display->getTypeName(), "Lowpass");
    EXPECT_EQ(display->getCurrentIndex(), 7);
    for (std::int32_t column = 0; column < kArea.width() - 1; ++column) {
        EXPECT_EQ(curveRow(column), std::optional<std::int32_t>(42)) << column;
    }
    rig.headless->setMenuChooser(nullptr);
    rig.press(CPoint(480, 150), kRButton);
    ASSERT_EQ(rig.headless->popups().size(), 1u);
    EXPECT_TRUE((rig.headless->popups()[0].items[7].flags & GuiPopupItem::kChecked) != 0);
}

TEST_F(FilterDisplayTest, AnUndampedLowpassStillDrawsWithAFiniteCurve) {
    show(0.0f, 0.3f, 0.0f); // q = 0.000001
    for (int i = 0; i < 256; ++i) {
        EXPECT_TRUE(std::isfinite(display->getResponse()[i])) << i;
    }
    EXPECT_LT(std::fabs(display->getResponse()[0]), 10.0f);
}

TEST_F(FilterDisplayTest, ArrowKeysResendTheStateAsItStands) {
    dragTo(CPoint(470, 150), {}); // a click focuses the display
    FakeHost::calls.clear();
    const float cutoff = rig.effect->getParameter(19);
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditKeyDown, 0, VKEY_RIGHT, nullptr, 0.0f), 1);
    EXPECT_EQ(FakeHost::log(), (std::vector<std::string>{"automate 19", "automate 20", "automate 18"}));
    EXPECT_EQ(FakeHost::automated(19), std::vector<float>{cutoff});
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditKeyDown, 0, VKEY_ESCAPE, nullptr, 0.0f), -1);
}
