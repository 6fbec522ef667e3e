#pragma once

// Option menus. A `COptionMenu` is a display that shows its current entry
// and, when clicked, opens a pop-up of its entries; the chosen entry's
// position becomes its value. Entry prefixes: "-" separator, "-T" title
// (disabled), "-G" greyed, "-M" sub-menu. How the pop-up looks (its scheme,
// layout and drawing) is in popup_menu.h, which comes with this header.

#include <cstdint>
#include <string>
#include <vector>

#include "gui/param_display.h"
#include "gui/platform.h"
#include "gui/popup_menu.h"

// Option-menu style bits (beside the display bits).
enum COptionMenuStyle : std::int32_t {
    kCheckStyle = 0x1,        // choosing an entry toggles its check flag
    kPopupAtTopStyle = 0x200, // the pop-up opens at the top edge (else the bottom)
    kCheckCurrentStyle = 0x400,
};

// [ui thread; any state] everything but the click.
class COptionMenu : public CParamDisplay {
public:
    static constexpr std::int32_t kMaxEntries = 1024;
    static constexpr std::int32_t kEntryLength = 255; // characters kept of an entry's text
    static constexpr std::int32_t kEntryStep = 32;    // storage grows by this many entries
    // Column breaks apply to menus shorter than this.
    static constexpr std::int32_t kMaxEntriesForColumns = 160;

    COptionMenu(const CRect& size, CControlListener* listener, std::int32_t tag,
                GuiBitmap* background = nullptr, GuiBitmap* pressedBitmap = nullptr, std::int32_t style = 0);

    // Appends (index -1 or past the end) or inserts an entry; false when full.
    bool addEntry(const char* text, std::int32_t index = -1);
    // Appends a sub-menu entry ("-M" before its title); the menu retains it.
    bool addEntry(COptionMenu* subMenu, const char* title);
    bool removeEntry(std::int32_t index);
    bool removeAllEntry();
    std::int32_t getNbEntries() const { return static_cast<std::int32_t>(entries.size()); }
    // The stored text (prefixes included), or null for a bad index.
    const char* getEntry(std::int32_t index) const;
    // The text shown for an entry: without its prefix.
    std::string getDisplayText(std::int32_t index) const;
    COptionMenu* getSubMenu(std::int32_t index) const;

    bool checkEntry(std::int32_t index, bool state);
    bool isCheckEntry(std::int32_t index) const;
    std::int32_t getCurrentIndex() const { return currentIndex; }

    void setNbItemsPerColumn(std::int32_t count) { itemsPerColumn = count; }
    std::int32_t getNbItemsPerColumn() const { return itemsPerColumn; }
    // 0 off; 2, 3 or 4 put the 1-based position before each pop-up item
    // ("%1d %s", "%02d %s", "%03d %s").
    void setPrefixNumbers(std::int32_t mode);
    std::int32_t getPrefixNumbers() const { return prefixNumbers; }

    void setScheme(MenuScheme* newScheme);
    MenuScheme* getScheme() const { return scheme; }

    COptionMenu* getLastMenu() const { return lastMenu; }
    std::int32_t getLastResult() const { return lastResult; }

    // The integer part of a valid position becomes the current entry (and
    // toggles its check flag in check style); other values are ignored.
    void setValue(float newValue) override;
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

    // [ui thread, frame open] Opens the pop-up and returns when it has closed
    // (the frame keeps painting meanwhile), after reporting the choice.
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;

    // The pop-up's items: ids count across sub-menus in depth-first order;
    // owners[id] is the (sub-)menu and position an id stands for.
    struct ItemOwner {
        COptionMenu* menu;
        std::int32_t position;
    };
    void buildPopup(GuiPopupMenu& popup, std::vector<ItemOwner>& owners, std::int32_t depth = 0);
    // Where the pop-up's top-left corner goes, in frame coordinates.
    CPoint popupPosition() const;

protected:
    ~COptionMenu() override;

    std::vector<std::string> entries;
    std::vector<bool> checked;
    std::vector<COptionMenu*> subMenus; // parallel to entries; retained
    std::int32_t currentIndex = -1;
    std::int32_t itemsPerColumn = 0;
    std::int32_t prefixNumbers = 0;
    std::int32_t lastResult = -1;
    COptionMenu* lastMenu = nullptr;
    MenuScheme* scheme = nullptr;
    GuiBitmap* pressedBitmap = nullptr;
};
