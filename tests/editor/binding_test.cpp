// Values between the controls and the effect: host automation moves controls
// only at the next idle and is never echoed; gestures reach the host as
// begin, automate..., end; menus send entry indices; the filter type folds
// back from type / 10; the LFO frequency displays follow the sync menus.

#include "editor_test_support.h"
#include "gui/view.h"

namespace {

class Binding : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(rig.open());
        FakeHost::calls.clear();
    }
    void TearDown() override { CKnob::setKnobMode(kCircularMode); }

    std::vector<std::uint32_t> region(const CRect& r) {
        std::vector<std::uint32_t> out;
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            for (std::int32_t x = r.left; x < r.right; ++x) {
                out.push_back(rig.pixel(x, y));
            }
        }
        return out;
    }
    void idle() { rig.effect->dispatcher(vst2::effEditIdle, 0, 0, nullptr, 0.0f); }
    // What a display shows once the next idle has taken the latest changes.
    std::string shownAtIdle(CParamDisplay* display) {
        idle();
        return HeadlessRig::shownText(display);
    }
    static CPoint centre(const CRect& r) { return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    CRect rectOf(std::int32_t tag) { return rig.editor().controlForTag(tag)->getViewSize(); }
    void choose(std::int32_t tag, const std::string& entry) {
        rig.headless->chooseMenuItem(entry);
        rig.press(centre(rectOf(tag)), kLButton);
    }

    HeadlessRig rig;
};

// A value that looks different from the one the parameter holds now.
float otherValue(std::int32_t tag, float now) {
    switch (tag) {
    case 18:
        return 0.1f; // Highpass
    case 21:
    case 25:
    case 26:
    case 30:
    case 31:
        return 3.0f; // a menu entry
    case 22:
    case 29:
    case 34:
        return now == 0.0f ? 1.0f : 0.0f;
    default:
        return now < 0.5f ? 0.9f : 0.1f;
    }
}

} // namespace

TEST_F(Binding, AutomationOfAnyParameterShowsAtTheNextIdleAndNotBefore) {
    idle();
    const auto tags = rig.editor().getControlsByTag();
    for (const auto& [tag, control] : tags) {
        SCOPED_TRACE(tag);
        CRect area = control->getViewSize();
        const ControlGroup& group = rig.editor().group(tag);
        if (group.display != nullptr) {
            area.unite(group.display->getViewSize());
        }
        const auto before = region(area);
        const float value = otherValue(tag, rig.effect->getParameter(tag));
        rig.hostSets(tag, value);
        EXPECT_EQ(region(area), before) << "drawn before the idle";
        idle();
        EXPECT_NE(region(area), before) << "not drawn at the idle";
        if (group.display != nullptr) {
            EXPECT_FLOAT_EQ(group.display->getValue(), rig.effect->getDisplayValue(tag));
        }
        if (tag < 18 || tag > 20) {
            EXPECT_FLOAT_EQ(control->getValue(), value);
        }
    }
    // The host's own changes are never sent back to it.
    EXPECT_TRUE(FakeHost::log().empty());
}

TEST_F(Binding, AKnobDragSendsBeginThenAutomationThenEnd) {
    EXPECT_EQ(rig.effect->dispatcher(vst2::effSetEditKnobMode, 0, kLinearMode, nullptr, 0.0f), 1);
    const CRect knob = rectOf(54); // "Mix", at 0.5
    const CPoint start = centre(knob);
    for (std::int32_t up = 10; up <= 30; up += 10) {
        rig.headless->queuePointer(CPoint(start.h, start.v - up), kLButton);
    }
    rig.headless->queuePointer(CPoint(start.h, start.v - 30), 0);
    rig.press(start, kLButton);

    const auto log = FakeHost::log();
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log.front(), "begin 54");
    EXPECT_EQ(log.back(), "end 54");
    for (std::size_t i = 1; i + 1 < log.size(); ++i) {
        EXPECT_EQ(log[i], "automate 54") << i;
    }
    const auto values = FakeHost::automated(54);
    for (std::size_t i = 1; i < values.size(); ++i) {
        EXPECT_GE(values[i], values[i - 1]);
    }
    // 30 pixels up at 200 pixels for the whole range.
    EXPECT_FLOAT_EQ(values.back(), 0.65f);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(54), 0.65f);
    idle();
    EXPECT_EQ(HeadlessRig::shownText(rig.editor().group(54).display), "0.65");
}

TEST_F(Binding, ArrowKeysStepTheKnobLastTouched) {
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditKeyDown, 0, VKEY_UP, nullptr, 0.0f), -1); // nothing focused
    rig.headless->queuePointer(centre(rectOf(53)), 0);
    rig.press(centre(rectOf(53)), kLButton); // a click on "Out" focuses it
    const float before = rig.effect->getParameter(53);
    FakeHost::calls.clear();
    idle();
    const auto knobBefore = region(rectOf(53));
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditKeyDown, 0, VKEY_DOWN, nullptr, 0.0f), 1);
    idle();
    EXPECT_NE(region(rectOf(53)), knobBefore) << "the knob's handle did not move on screen";
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditKeyDown, 0, VKEY_DOWN, nullptr, 1.0f), 1); // shift: fine
    EXPECT_EQ(rig.effect->dispatcher(vst2::effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
    const auto values = FakeHost::automated(53);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_NEAR(values[0], before - 0.1f, 1e-6);
    EXPECT_NEAR(values[1], before - 0.11f, 1e-6);
    EXPECT_FLOAT_EQ(rig.effect->getParameter(53), values[1]);
}

TEST_F(Binding, WheelAndControlClickOnAKnob) {
    rig.window().wheel(centre(rectOf(17)), 1.0f); // "Feedback", at 0
    EXPECT_EQ(FakeHost::log(), (std::vector<std::string>{"begin 17", "automate 17", "end 17"}));
    EXPECT_FLOAT_EQ(rig.effect->getParameter(17), 0.1f);

    FakeHost::calls.clear();
    rig.press(centre(rectOf(17)), kControl | kLButton);
    EXPECT_EQ(FakeHost::log(), (std::vector<std::string>{"begin 17", "automate 17", "end 17"}));
    EXPECT_FLOAT_EQ(rig.effect->getParameter(17), 0.5f);
}

TEST_F(Binding, MenusSendTheirEntryIndex) {
    choose(26, "1/4");
    EXPECT_EQ(FakeHost::log(), (std::vector<std::string>{"begin 26", "automate 26", "end 26"}));
    EXPECT_EQ(FakeHost::automated(26), std::vector<float>{4.0f});
    EXPECT_FLOAT_EQ(rig.effect->getParameter(26), 4.0f);
    EXPECT_EQ(rig.editor().getSyncMenu(1)->getCurrentIndex(), 4);

    FakeHost::calls.clear();
    choose(30, "square");
    EXPECT_EQ(FakeHost::automated(30), std::vector<float>{4.0f});
    choose(21, "1/8 T");
    EXPECT_EQ(FakeHost::automated(21), std::vector<float>{10.0f});
    choose(25, "rand");
    EXPECT_EQ(FakeHost::automated(25), std::vector<float>{7.0f});

    // A dismissed pop-up sends nothing.
    FakeHost::calls.clear();
    rig.headless->setMenuChooser(nullptr);
    rig.press(centre(rectOf(31)), kLButton);
    EXPECT_TRUE(FakeHost::automated(31).empty());
    EXPECT_FLOAT_EQ(rig.effect->getParameter(31), 0.0f);
}

TEST_F(Binding, ButtonsToggleBetweenZeroAndOne) {
    rig.press(centre(rectOf(29)), kLButton);
    rig.press(centre(rectOf(29)), kLButton);
    rig.press(centre(rectOf(22)), kLButton);
    EXPECT_EQ(FakeHost::automated(29), (std::vector<float>{1.0f, 0.0f}));
    EXPECT_EQ(FakeHost::automated(22), std::vector<float>{1.0f});
    EXPECT_FLOAT_EQ(rig.effect->getParameter(22), 1.0f);
}

TEST_F(Binding, TheSyncMenuSwitchesTheFrequencyDisplayToGridSteps) {
    CParamDisplay* frequency = rig.editor().group(27).display;
    rig.hostSets(27, 0.5f); // 20 * 0.5^2 = 5 Hz
    EXPECT_EQ(shownAtIdle(frequency), "5.00 Hz");

    choose(26, "1/4"); // four grid steps a beat
    rig.hostSets(27, 0.5f);
    // A 0.2 s period at 120 BPM spans 1.6 sixteenths, rounded up to 2 grid steps.
    EXPECT_EQ(shownAtIdle(frequency), "2");
    rig.hostSets(27, 0.0f);
    EXPECT_EQ(shownAtIdle(frequency), "--");

    choose(26, "off");
    rig.hostSets(27, 0.5f);
    EXPECT_EQ(shownAtIdle(frequency), "5.00 Hz");
    // LFO 2 was never synced.
    EXPECT_EQ(shownAtIdle(rig.editor().group(32).display), "0.05 Hz");
}

TEST_F(Binding, FilterTypeValuesFoldToTheNearestType) {
    FilterDisplay* display = rig.editor().getFilterDisplay();
    CRect area = display->getViewSize();
    rig.hostSets(18, 0.3f);
    idle();
    EXPECT_STREQ(display->getTypeName(), "Bandstop");
    const auto bandstop = region(area);

    rig.hostSets(18, 0.0f);
    idle();
    EXPECT_STREQ(display->getTypeName(), "Lowpass");
    rig.hostSets(18, 0.25f); // 2.5 + 0.5 = 3.0
    idle();
    EXPECT_STREQ(display->getTypeName(), "Bandstop");
    EXPECT_EQ(region(area), bandstop);
    rig.hostSets(18, 0.24f); // 2.9 truncates to 2
    idle();
    EXPECT_STREQ(display->getTypeName(), "Bandpass");
}

TEST_F(Binding, AResonanceChangeAloneCarriesTheWholeFilterState) {
    rig.effect->setParameter(18, 0.7f);
    rig.effect->setParameter(19, 0.25f);
    rig.hostSets(20, 0.5f);
    idle();
    float cutoff = 0.0f;
    float resonance = 0.0f;
    std::int32_t type = 0;
    rig.editor().getFilterDisplay()->getFilterState(cutoff, resonance, type);
    EXPECT_FLOAT_EQ(cutoff, 0.25f);
    EXPECT_FLOAT_EQ(resonance, 0.5f);
    EXPECT_EQ(type, 7);
}

TEST_F(Binding, AProgramChangeMovesEveryControl) {
    rig.effect->setParameter(54, 0.9f);
    rig.effect->setParameter(26, 5.0f);
    rig.effect->setParameterAutomated(5, 0.1f); // kept in program 0 as well
    rig.effect->dispatcher(vst2::effSetProgram, 0, 1, nullptr, 0.0f);
    idle();
    EXPECT_FLOAT_EQ(rig.editor().group(54).knob->getValue(), 0.5f);
    EXPECT_EQ(rig.editor().getSyncMenu(1)->getCurrentIndex(), 0);
    rig.effect->dispatcher(vst2::effSetProgram, 0, 0, nullptr, 0.0f);
    idle();
    EXPECT_FLOAT_EQ(rig.editor().group(54).knob->getValue(), 0.9f);
    EXPECT_FLOAT_EQ(rig.editor().group(5).knob->getValue(), 0.1f);
    EXPECT_EQ(rig.editor().getSyncMenu(1)->getCurrentIndex(), 5);
}

TEST_F(Binding, IdleLetsTheHostIdleOnlyWhileAControlTracksTheMouse) {
    for (int i = 0; i < 5; ++i) {
        idle();
    }
    int hostIdles = 0;
    for (const auto& call : FakeHost::calls) {
        hostIdles += call.opcode == vst2::audioMasterIdle ? 1 : 0;
    }
    EXPECT_EQ(hostIdles, 0);
    rig.headless->queuePointer(centre(rectOf(17)), 0);
    rig.press(centre(rectOf(17)), kLButton);
    for (const auto& call : FakeHost::calls) {
        hostIdles += call.opcode == vst2::audioMasterIdle ? 1 : 0;
    }
    EXPECT_GE(hostIdles, 1);
}
