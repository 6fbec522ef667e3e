// What the editor must redraw and how its texts fit: a sync menu's change
// shows at once in the box of the time or rate it syncs, a type chosen on the
// filter display redraws the whole display even where a pop-up was, every
// label fits its box, and every menu checks its current entry.

#include <functional>
#include <string>

#include "editor_test_support.h"

namespace {

class Redraw : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(rig.open()); }
    void idle() { rig.effect->dispatcher(vst2::effEditIdle, 0, 0, nullptr, 0.0f); }
    static CPoint centre(const CRect& r) { return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    void choose(std::int32_t tag, const std::string& entry) {
        rig.headless->chooseMenuItem(entry);
        rig.press(centre(rig.editor().controlForTag(tag)->getViewSize()), kLButton);
    }
    std::string shown(std::int32_t tag) {
        idle();
        return HeadlessRig::shownText(rig.editor().group(tag).display);
    }
    std::vector<std::uint32_t> region(HeadlessRig& r, const CRect& area) {
        std::vector<std::uint32_t> out;
        for (std::int32_t y = area.top; y < area.bottom; ++y) {
            for (std::int32_t x = area.left; x < area.right; ++x) {
                out.push_back(r.pixel(x, y));
            }
        }
        return out;
    }

    HeadlessRig rig;
};

TEST_F(Redraw, ASyncMenuChangeShowsInItsBoxAtOnce) {
    rig.hostSets(param::kDelay, 0.25f);
    rig.hostSets(param::kLfo1Freq, 0.5f); // 5 Hz
    EXPECT_EQ(shown(param::kDelay), "0.25");
    EXPECT_EQ(shown(param::kLfo1Freq), "5.00 Hz");
    // A quarter of a beat at 120 BPM is 0.125 s: the delay spans 2 steps, a 0.2 s
    // period 1.6 steps, rounded up to 2.
    choose(param::kDelaySync, "1/4");
    choose(param::kLfo1Sync, "1/4");
    EXPECT_EQ(shown(param::kDelay), "2.00");
    EXPECT_EQ(shown(param::kLfo1Freq), "2");
    choose(param::kDelaySync, "off");
    choose(param::kLfo1Sync, "off");
    EXPECT_EQ(shown(param::kDelay), "0.25");
    EXPECT_EQ(shown(param::kLfo1Freq), "5.00 Hz");
}

// The pop-up of the filter types covers part of the display; when it closes
// the window repaints what it covered, and the rest must not keep the old curve.
TEST_F(Redraw, ATypeChosenOnTheFilterDisplayRedrawsAllOfIt) {
    const CRect area = rig.editor().getFilterDisplay()->getViewSize();
    rig.headless->chooseMenuItem("Highpass");
    rig.press(CPoint(480, 150), kRButton);
    rig.window().expose(CRect(area.left, area.top, area.left + 40, area.bottom)); // where the pop-up was
    idle();
    idle();
    HeadlessRig fresh;
    fresh.effect->setParameter(param::kFilterType, 0.1f);
    ASSERT_TRUE(fresh.open());
    EXPECT_EQ(region(rig, area), region(fresh, area));
}

// A host's menu closes over the panel while a change waits to be drawn: the
// window repaints what the menu covered (the left half of the delay's knob
// and box) before the editor's idle, and the rest of both must still follow.
TEST_F(Redraw, AChangeUnderAHostsMenuShowsWhole) {
    idle();
    const ControlGroup& delay = rig.editor().group(param::kDelay);
    CRect knob = delay.knob->getViewSize();
    CRect box = delay.display->getViewSize();
    CRect both = knob;
    both.unite(box);
    rig.hostSets(param::kDelay, 0.8f);
    rig.window().expose(CRect(both.left, both.top, (both.left + both.right) / 2, both.bottom));
    idle();
    idle();
    HeadlessRig fresh;
    fresh.hostSets(param::kDelay, 0.8f);
    ASSERT_TRUE(fresh.open());
    EXPECT_EQ(region(rig, both), region(fresh, both));
}

// The text of each label lies inside its box: no column of the label's edges
// shows text, at any size the label takes.
TEST_F(Redraw, EveryLabelFitsItsBox) {
    const std::uint32_t box = rgbOf(PluginEditor::kBoxColour);
    for (std::int32_t tag = 0; tag < param::kCount; ++tag) {
        const CTextLabel* label = rig.editor().group(tag).label;
        if (label == nullptr) {
            continue;
        }
        const CRect r = label->getViewSize();
        for (std::int32_t y = r.top; y < r.bottom; ++y) {
            EXPECT_EQ(rig.pixel(r.left, y), box) << label->getText() << " touches its left edge";
            EXPECT_EQ(rig.pixel(r.right - 1, y), box) << label->getText() << " touches its right edge";
        }
    }
}

TEST_F(Redraw, EveryMenuChecksItsCurrentEntry) {
    rig.hostSets(param::kLfo2Shape, 3.0f);
    rig.hostSets(param::kDelaySync, 13.0f);
    idle();
    for (std::int32_t tag :
         {param::kDelaySync, param::kLfo1Shape, param::kLfo1Sync, param::kLfo2Shape, param::kLfo2Sync}) {
        rig.headless->setMenuChooser(nullptr);
        const std::size_t before = rig.headless->popups().size();
        rig.press(centre(rig.editor().controlForTag(tag)->getViewSize()), kLButton);
        ASSERT_EQ(rig.headless->popups().size(), before + 1) << tag;
        const auto& items = rig.headless->popups().back().items;
        const auto current = static_cast<std::size_t>(rig.effect->getParameter(tag));
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ((items[i].flags & GuiPopupItem::kChecked) != 0, i == current) << tag << " entry " << i;
        }
    }
}

} // namespace
