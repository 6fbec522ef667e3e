// The pop-up's keyboard and sub-menu handling, shared by the window backends:
// the window tests cover clicks and Escape, these what they cannot reach.

#include "gui/popup_navigation.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gui/cairo/cairo_surface.h"

namespace {

// Records what the navigation asks of the windows.
class RecordedWindows : public PopupLevelWindows {
public:
    bool showLevel(PopupLevel& level) override {
        ++shown;
        origins.push_back(level.origin);
        return !refuse;
    }
    void closeLevel() override {
        ++closed;
        origins.pop_back();
    }
    void redrawLevel(std::size_t) override {}

    int shown = 0;
    int closed = 0;
    bool refuse = false;
    std::vector<CPoint> origins;
};

GuiPopupItem item(const char* text, std::int32_t id, std::uint32_t flags = 0) {
    GuiPopupItem entry;
    entry.text = text;
    entry.id = id;
    entry.flags = flags;
    return entry;
}

// "a", a separator, "b" disabled, "c", and "more" leading to "d".
struct Menus {
    Menus() {
        auto more = std::make_unique<GuiPopupMenu>();
        more->items.push_back(item("d", 40));
        top.items = {item("a", 10), item("-", -1, GuiPopupItem::kSeparator),
                     item("b", 20, GuiPopupItem::kDisabled), item("c", 30), item("more", -1)};
        top.items.back().submenu = more.get();
        top.submenus.push_back(std::move(more));
    }
    GuiPopupMenu top;
};

struct Navigation : ::testing::Test {
    CPoint centreOf(std::size_t levelIndex, std::size_t itemIndex) const {
        const PopupLevel& level = navigation.level(levelIndex);
        const CRect& r = level.layout.itemRects[itemIndex];
        return CPoint(level.origin.h + (r.left + r.right) / 2, level.origin.v + (r.top + r.bottom) / 2);
    }

    Menus menus;
    RecordedWindows windows;
    SchemeMenuPainter painter{nullptr};
    CairoSurface measure{1, 1};
    PopupNavigation navigation{windows, painter, measure, false};
};

TEST_F(Navigation, TheArrowsSkipWhatCannotBeChosenAndReturnChooses) {
    ASSERT_TRUE(navigation.open(menus.top, CPoint(100, 100)));
    navigation.keyPressed(PopupNavigation::Key::Down);
    EXPECT_EQ(navigation.level(0).selected, 0);
    navigation.keyPressed(PopupNavigation::Key::Down); // past the separator and the disabled entry
    EXPECT_EQ(navigation.level(0).selected, 3);
    navigation.keyPressed(PopupNavigation::Key::Down); // past the sub-menu's entry, round the end
    EXPECT_EQ(navigation.level(0).selected, 0);
    navigation.keyPressed(PopupNavigation::Key::Up);
    EXPECT_EQ(navigation.level(0).selected, 3);
    EXPECT_FALSE(navigation.isDone());
    navigation.keyPressed(PopupNavigation::Key::Return);
    EXPECT_TRUE(navigation.isDone());
    EXPECT_EQ(navigation.result(), 30);
}

TEST_F(Navigation, HoveringOpensASubMenuBesideItsEntryAndLeavingItClosesIt) {
    ASSERT_TRUE(navigation.open(menus.top, CPoint(100, 100)));
    navigation.pointerMoved(centreOf(0, 4));
    ASSERT_EQ(navigation.depth(), 2u);
    const CRect& entry = navigation.level(0).layout.itemRects[4];
    EXPECT_EQ(navigation.level(1).origin.h, 100 + entry.right);
    EXPECT_EQ(navigation.level(1).origin.v, 100 + entry.top - kPopupBorder);

    navigation.buttonReleased(centreOf(1, 0), false);
    EXPECT_EQ(navigation.result(), 40);

    PopupNavigation again{windows, painter, measure, false};
    ASSERT_TRUE(again.open(menus.top, CPoint(100, 100)));
    const int closedBefore = windows.closed;
    again.pointerMoved(centreOf(0, 4));
    ASSERT_EQ(again.depth(), 2u);
    again.pointerMoved(CPoint(100 + 5, 100 + 5)); // back on the first entry
    EXPECT_EQ(again.depth(), 1u);
    EXPECT_EQ(windows.closed, closedBefore + 1);
}

TEST_F(Navigation, OnlyALeftReleaseChoosesUnlessTheRightButtonMayAndAWindowThatFailsOpensNothing) {
    ASSERT_TRUE(navigation.open(menus.top, CPoint(100, 100)));
    navigation.buttonReleased(centreOf(0, 0), true);
    EXPECT_FALSE(navigation.isDone());
    navigation.buttonReleased(centreOf(0, 2), false); // disabled
    EXPECT_FALSE(navigation.isDone());

    PopupNavigation right{windows, painter, measure, true};
    ASSERT_TRUE(right.open(menus.top, CPoint(100, 100)));
    right.buttonReleased(centreOf(0, 0), true);
    EXPECT_EQ(right.result(), 10);

    windows.refuse = true;
    PopupNavigation refused{windows, painter, measure, false};
    EXPECT_FALSE(refused.open(menus.top, CPoint(0, 0)));
    EXPECT_EQ(refused.depth(), 0u);
}

} // namespace
