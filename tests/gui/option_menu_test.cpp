// Option menus: the value rules, check style, the pop-up built from the
// entries (prefixes, sub-menus, columns, numbers, checks), choosing and
// dismissing, and the menu scheme's item geometry and drawing.

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>

#include "gui/cairo/cairo_surface.h"
#include "gui/option_menu.h"
#include "gui_test_support.h"

namespace {

const char* const kSyncList[] = {"off",  "4/1",   "1/1",   "1/2",    "1/4",   "1/8",   "1/16",  "1/32",
                                 "1/64", "1/4 T", "1/8 T", "1/16 T", "1/4 D", "1/8 D", "1/16 D"};

struct MenuFixture : ::testing::Test {
    RecordingHost host;
    RecordingListener listener;
    HeadlessEditor editor{&host, 200, 100};
    COptionMenu* menu = nullptr;

    void SetUp() override {
        editor.openAndPaint();
        menu = new COptionMenu(CRect(20, 30, 70, 42), &listener, 21);
        for (const char* entry : kSyncList) {
            menu->addEntry(entry);
        }
        editor.getFrame()->addView(menu);
        editor.idle();
        host.calls.clear();
    }
    HeadlessPlatform& platform() { return editor.platform(); }
    void click(std::int32_t buttons = kLButton) { editor.window().mouseDown(CPoint(30, 35), buttons); }
    static std::vector<std::string> texts(const HeadlessPopupRecord& record) {
        std::vector<std::string> out;
        for (const auto& item : record.items) {
            out.push_back(item.text);
        }
        return out;
    }
};

} // namespace

TEST_F(MenuFixture, TheIntegerPartOfAValidValueSelectsTheEntry) {
    menu->setValue(14.9f);
    EXPECT_EQ(menu->getCurrentIndex(), 14);
    EXPECT_FLOAT_EQ(menu->getValue(), 14.9f);
    EXPECT_TRUE(menu->isDirty());
    editor.idle();
    menu->setValue(-1.f);
    menu->setValue(15.f);
    menu->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(menu->getCurrentIndex(), 14);
    EXPECT_FLOAT_EQ(menu->getValue(), 14.9f);
    EXPECT_FALSE(menu->isDirty());
    menu->setValue(0.5f);
    EXPECT_EQ(menu->getCurrentIndex(), 0);
}

TEST_F(MenuFixture, CheckStyleTogglesTheEntryOnEverySelection) {
    menu->setStyle(kCheckStyle);
    menu->setValue(3.f);
    EXPECT_TRUE(menu->isCheckEntry(3));
    menu->setValue(2.f);
    EXPECT_TRUE(menu->isCheckEntry(2));
    EXPECT_TRUE(menu->isCheckEntry(3));
    menu->setValue(3.f);
    EXPECT_FALSE(menu->isCheckEntry(3));
    menu->setValue(99.f);
    EXPECT_TRUE(menu->isCheckEntry(2));
}

TEST_F(MenuFixture, ThePopupListsTheEntriesWithTheCurrentOneChecked) {
    menu->setStyle(kCheckCurrentStyle);
    menu->setValue(4.f);
    click();
    ASSERT_EQ(platform().popups().size(), 1u);
    const HeadlessPopupRecord& popup = platform().popups().back();
    ASSERT_EQ(popup.items.size(), 15u);
    for (std::size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(popup.items[i].text, kSyncList[i]);
        EXPECT_EQ(popup.items[i].id, static_cast<std::int32_t>(i));
        EXPECT_EQ((popup.items[i].flags & GuiPopupItem::kChecked) != 0, i == 4) << i;
    }
    // At the control's left edge, below it, on the screen.
    CPoint origin = editor.window().screenPosition();
    EXPECT_EQ(popup.position, CPoint(origin.h + 20, origin.v + 42));
    EXPECT_FALSE(popup.rightButton);
}

TEST_F(MenuFixture, ChoosingAnEntrySetsTheValueAndTellsTheListenerOnce) {
    platform().chooseMenuItem("1/4");
    click();
    EXPECT_EQ(menu->getCurrentIndex(), 4);
    EXPECT_FLOAT_EQ(menu->getValue(), 4.f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(listener.reports[0].control, menu);
    EXPECT_FLOAT_EQ(listener.reports[0].value, 4.f);
    EXPECT_EQ(menu->getLastMenu(), menu);
    EXPECT_EQ(menu->getLastResult(), 4);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 21", "end 21"}));
    EXPECT_EQ(editor.getFrame()->getFocusView(), nullptr);
}

TEST_F(MenuFixture, DismissingChangesNothing) {
    menu->setValue(2.f);
    editor.idle();
    click(); // no chooser: dismissed
    EXPECT_EQ(menu->getCurrentIndex(), 2);
    EXPECT_TRUE(listener.reports.empty());
    EXPECT_EQ(host.calls, (std::vector<std::string>{"begin 21", "end 21"}));
    EXPECT_EQ(editor.getFrame()->getFocusView(), nullptr);
}

TEST_F(MenuFixture, RightButtonOpensToo_MiddleButtonDoesNot) {
    click(kRButton);
    ASSERT_EQ(platform().popups().size(), 1u);
    EXPECT_TRUE(platform().popups().back().rightButton);
    click(kMButton);
    EXPECT_EQ(platform().popups().size(), 1u);
    click(kApple);
    EXPECT_EQ(platform().popups().size(), 2u);
}

TEST_F(MenuFixture, TopEdgeStyleOpensAtTheTop) {
    menu->setStyle(kPopupAtTopStyle);
    click();
    CPoint origin = editor.window().screenPosition();
    EXPECT_EQ(platform().popups().back().position, CPoint(origin.h + 20, origin.v + 30));
}

TEST_F(MenuFixture, ModifierClicksAreOfferedToTheListenerFirst) {
    listener.consumeModifiers = 1;
    click(kLButton | kShift);
    EXPECT_TRUE(platform().popups().empty());
    ASSERT_EQ(listener.modifierClicks.size(), 1u);
    listener.consumeModifiers = 0;
    click(kLButton | kShift);
    EXPECT_EQ(platform().popups().size(), 1u);
}

TEST(OptionMenuEntries, PrefixesSubMenusAndIdsAcrossLevels) {
    RecordingListener listener;
    auto* menu = new COptionMenu(CRect(0, 0, 50, 12), &listener, 1);
    auto* sub = new COptionMenu(CRect(0, 0, 50, 12), &listener, 2);
    sub->addEntry("a");
    sub->addEntry("b");
    menu->addEntry("one");
    menu->addEntry("-");
    menu->addEntry("-TTitle");
    menu->addEntry("-GGrey");
    EXPECT_TRUE(menu->addEntry(sub, "sub"));
    sub->release(); // the menu holds it now
    menu->addEntry("two");
    EXPECT_STREQ(menu->getEntry(4), "-Msub");
    EXPECT_EQ(menu->getSubMenu(4), sub);

    GuiPopupMenu popup;
    std::vector<COptionMenu::ItemOwner> owners;
    menu->buildPopup(popup, owners);
    ASSERT_EQ(popup.items.size(), 6u);
    EXPECT_EQ(popup.items[0].text, "one");
    EXPECT_TRUE(popup.items[0].isSelectable());
    EXPECT_TRUE(popup.items[1].isSeparator());
    EXPECT_EQ(popup.items[2].text, "Title");
    EXPECT_NE(popup.items[2].flags & GuiPopupItem::kDisabled, 0u);
    EXPECT_EQ(popup.items[3].text, "Grey");
    EXPECT_NE(popup.items[3].flags & GuiPopupItem::kDisabled, 0u);
    EXPECT_EQ(popup.items[4].text, "sub");
    ASSERT_NE(popup.items[4].submenu, nullptr);
    EXPECT_FALSE(popup.items[4].isSelectable());
    // Depth-first: the sub-menu's entries take the ids right after its item.
    EXPECT_EQ(popup.items[4].submenu->items[0].id, 5);
    EXPECT_EQ(popup.items[4].submenu->items[1].id, 6);
    EXPECT_EQ(popup.items[5].id, 7);
    ASSERT_EQ(owners.size(), 8u);
    EXPECT_EQ(owners[6].menu, sub);
    EXPECT_EQ(owners[6].position, 1);
    EXPECT_EQ(owners[7].menu, menu);
    EXPECT_EQ(owners[7].position, 5);
    menu->release();
}

TEST(OptionMenuEntries, ChoosingInASubMenuReportsTheSubMenu) {
    RecordingHost host;
    RecordingListener listener;
    HeadlessEditor editor(&host, 100, 50);
    editor.openAndPaint();
    auto* menu = new COptionMenu(CRect(0, 0, 50, 12), &listener, 1);
    auto* sub = new COptionMenu(CRect(0, 0, 50, 12), nullptr, 2);
    sub->addEntry("a");
    sub->addEntry("b");
    menu->addEntry("top");
    menu->addEntry(sub, "more");
    sub->release();
    editor.getFrame()->addView(menu);
    editor.platform().chooseMenuItem("b");
    editor.window().mouseDown(CPoint(5, 5), kLButton);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(listener.reports[0].control, sub);
    EXPECT_EQ(menu->getLastMenu(), sub);
    EXPECT_EQ(menu->getLastResult(), 1);
    EXPECT_EQ(sub->getCurrentIndex(), 1);
    EXPECT_EQ(menu->getCurrentIndex(), -1);
    // A chooser that names an item that cannot be chosen gets nothing.
    editor.platform().chooseMenuItem("more");
    editor.window().mouseDown(CPoint(5, 5), kLButton);
    EXPECT_EQ(listener.reports.size(), 1u);
}

TEST(OptionMenuEntries, ColumnsPrefixNumbersAndLimits) {
    auto* menu = new COptionMenu(CRect(0, 0, 50, 12), nullptr, 1);
    for (int i = 0; i < 10; ++i) {
        char entry[8];
        std::snprintf(entry, sizeof entry, "e%d", i);
        menu->addEntry(entry);
    }
    menu->setNbItemsPerColumn(4);
    menu->setPrefixNumbers(3);
    GuiPopupMenu popup;
    std::vector<COptionMenu::ItemOwner> owners;
    menu->buildPopup(popup, owners);
    for (std::size_t i = 0; i < popup.items.size(); ++i) {
        EXPECT_EQ((popup.items[i].flags & GuiPopupItem::kColumnBreak) != 0, i == 4 || i == 8) << i;
    }
    EXPECT_EQ(popup.items[0].text, "01 e0");
    EXPECT_EQ(popup.items[9].text, "10 e9");
    menu->setPrefixNumbers(2);
    GuiPopupMenu single;
    owners.clear();
    menu->buildPopup(single, owners);
    EXPECT_EQ(single.items[2].text, "3 e2");

    // Long menus get no columns; storage is capped; long texts are cut.
    while (menu->getNbEntries() < COptionMenu::kMaxEntries) {
        EXPECT_TRUE(menu->addEntry("x"));
    }
    EXPECT_FALSE(menu->addEntry("one too many"));
    GuiPopupMenu big;
    owners.clear();
    menu->buildPopup(big, owners);
    for (const auto& item : big.items) {
        EXPECT_EQ(item.flags & GuiPopupItem::kColumnBreak, 0u);
    }
    menu->removeAllEntry();
    menu->addEntry(std::string(400, 'y').c_str());
    EXPECT_EQ(std::string(menu->getEntry(0)).size(), 255u);
    menu->release();
}

TEST(OptionMenuEntries, InsertingAndRemovingKeepChecksInLine) {
    auto* menu = new COptionMenu(CRect(0, 0, 50, 12), nullptr, 1);
    menu->addEntry("a");
    menu->addEntry("c");
    menu->checkEntry(1, true);
    menu->addEntry("b", 1);
    EXPECT_STREQ(menu->getEntry(1), "b");
    EXPECT_TRUE(menu->isCheckEntry(2));
    EXPECT_FALSE(menu->isCheckEntry(1));
    EXPECT_TRUE(menu->removeEntry(0));
    EXPECT_STREQ(menu->getEntry(0), "b");
    EXPECT_TRUE(menu->isCheckEntry(1));
    EXPECT_FALSE(menu->removeEntry(5));
    menu->release();
}

TEST(MenuSchemeDrawing, ItemSizesFollowTheTextWidth) {
    auto* scheme = new MenuScheme();
    CairoSurface surface(10, 10);
    auto* context = new CDrawContext(nullptr, &surface);
    EXPECT_EQ(scheme->getItemSize("-", context), CPoint(6, 18));
    context->setFont(scheme->getFont());
    std::int32_t width = context->getStringWidth("Bandpass");
    EXPECT_GT(width, 20);
    EXPECT_EQ(scheme->getItemSize("Bandpass", context), CPoint(width + 18, 18));
    context->release();
    scheme->release();
}

TEST(MenuSchemeDrawing, SelectedItemsCheckMarksAndSeparators) {
    auto* scheme = new MenuScheme();
    scheme->setBackgroundColor(CColor{22, 112, 150, 0});
    scheme->setSelectionColor(CColor{255, 255, 255, 0});
    scheme->setTextColor(CColor{228, 189, 31, 0});
    scheme->setSelectedTextColor(CColor{48, 148, 189, 0});
    auto* target = new COffscreenContext(nullptr, std::make_unique<CairoSurface>(100, 60), kBlackCColor);

    scheme->drawItem("sine", 0, 0, target, CRect(0, 0, 100, 18));
    EXPECT_EQ(target->pixelAt(99, 1), argb(255, 22, 112, 150));
    scheme->drawItem("tri", 1, MenuScheme::kSelected | MenuScheme::kChecked, target, CRect(0, 18, 100, 36));
    EXPECT_EQ(target->pixelAt(99, 19), argb(255, 255, 255, 255));
    // The check dot, 8 pixels across near (6, 4) of the item, in the selected
    // text colour.
    EXPECT_EQ(target->pixelAt(11, 18 + 9), argb(255, 48, 148, 189));
    scheme->drawItem("-", 2, 0, target, CRect(0, 36, 100, 54));
    EXPECT_EQ(target->pixelAt(50, 36 + 8), argb(255, 0, 0, 0));       // black, one row above the middle
    EXPECT_EQ(target->pixelAt(50, 36 + 9), argb(255, 255, 255, 255)); // white at the middle
    EXPECT_EQ(target->pixelAt(1, 36 + 9), argb(255, 22, 112, 150));   // 2 pixels in from the edges
    EXPECT_EQ(target->pixelAt(98, 36 + 9), argb(255, 22, 112, 150));
    EXPECT_EQ(target->pixelAt(97, 36 + 9), argb(255, 255, 255, 255));
    target->release();
    scheme->release();
}

TEST(MenuSchemeDrawing, TheMenuKeepsItsSchemeAlive) {
    auto* scheme = new MenuScheme();
    auto* menu = new COptionMenu(CRect(0, 0, 10, 10), nullptr, 1);
    menu->setScheme(scheme);
    EXPECT_EQ(scheme->getReferenceCount(), 2);
    menu->release();
    EXPECT_EQ(scheme->getReferenceCount(), 1);
    scheme->release();
}

TEST(MenuLayout, ColumnsSitSideBySide) {
    GuiPopupMenu popup;
    for (int i = 0; i < 5; ++i) {
        GuiPopupItem item;
        item.text = i == 1 ? "a much longer entry" : "e";
        item.id = i;
        if (i == 3) {
            item.flags |= GuiPopupItem::kColumnBreak;
        }
        popup.items.push_back(item);
    }
    SchemeMenuPainter painter(nullptr);
    CairoSurface measure(1, 1);
    GuiPopupLayout layout = layoutPopupMenu(popup, painter, measure);
    ASSERT_EQ(layout.itemRects.size(), 5u);
    EXPECT_EQ(layout.itemRects[0].left, kPopupBorder);
    EXPECT_EQ(layout.itemRects[0].top, kPopupBorder);
    EXPECT_EQ(layout.itemRects[2].top, kPopupBorder + 36);
    EXPECT_EQ(layout.itemRects[0].width(), layout.itemRects[1].width()); // a column is as wide as its widest
    EXPECT_EQ(layout.itemRects[3].left, layout.itemRects[0].right);
    EXPECT_EQ(layout.itemRects[3].top, kPopupBorder);
    EXPECT_EQ(layout.size.v, kPopupBorder * 2 + 3 * 18);
    EXPECT_EQ(popupItemAt(layout, CPoint(layout.itemRects[4].left + 1, layout.itemRects[4].top + 1)), 4);
    EXPECT_EQ(popupItemAt(layout, CPoint(0, 0)), -1);
}

TEST_F(MenuFixture, TheMenuShowsItsCurrentEntryLikeALabel) {
    menu->setFont(kNormalFontSmall);
    menu->setFontColor(CColor{228, 189, 31, 0});
    menu->setBackColor(CColor{22, 112, 150, 0});
    menu->setFrameColor(CColor{22, 112, 150, 0});
    auto* label = new CTextLabel(CRect(20, 60, 70, 72), "1/16 T");
    label->setFont(kNormalFontSmall);
    label->setFontColor(CColor{228, 189, 31, 0});
    label->setBackColor(CColor{22, 112, 150, 0});
    label->setFrameColor(CColor{22, 112, 150, 0});
    editor.getFrame()->addView(label);
    menu->setValue(11.f);
    editor.idle();
    HeadlessWindow& w = editor.window();
    int inked = 0;
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 50; ++x) {
            ASSERT_EQ(w.screenPixel(20 + x, 30 + y), w.screenPixel(20 + x, 60 + y)) << x << "," << y;
            inked += w.screenPixel(20 + x, 30 + y) != argb(255, 22, 112, 150) ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 20);
}
