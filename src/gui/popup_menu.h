#pragma once

// How pop-up menus look, apart from the control that opens them: a
// `MenuScheme` measures and draws the items in its own colours and font, and
// the layout and drawing functions below turn a `GuiPopupMenu` into pixels.
// The backends use these to show a pop-up in windows of their own.

#include <cstdint>
#include <vector>

#include "gui/draw_context.h"
#include "gui/fonts.h"
#include "gui/gui_types.h"
#include "gui/platform.h"

// [ui thread; any state]
class MenuScheme : public CBaseObject {
public:
    // The item state bits handed to drawItem.
    enum ItemState : std::int32_t {
        kChecked = 1,
        kDisabled = 2,
        kSelected = 4,
    };

    MenuScheme();

    // Width (h) and height (v) of an item; the text "-" is a separator.
    virtual CPoint getItemSize(const char* text, CDrawContext* context);
    virtual void drawItem(const char* text, std::int32_t itemId, std::int32_t state, CDrawContext* context,
                          const CRect& rect);

    void setBackgroundColor(CColor colour) { backgroundColor = colour; }
    CColor getBackgroundColor() const { return backgroundColor; }
    void setSelectionColor(CColor colour) { selectionColor = colour; }
    CColor getSelectionColor() const { return selectionColor; }
    void setTextColor(CColor colour) { textColor = colour; }
    CColor getTextColor() const { return textColor; }
    void setSelectedTextColor(CColor colour) { selectedTextColor = colour; }
    CColor getSelectedTextColor() const { return selectedTextColor; }
    void setDisabledTextColor(CColor colour) { disabledTextColor = colour; }
    CColor getDisabledTextColor() const { return disabledTextColor; }
    void setFont(std::int32_t fontId) { font = fontId; }
    std::int32_t getFont() const { return font; }

protected:
    ~MenuScheme() override = default;

    // The usual light desktop menu look.
    CColor backgroundColor{240, 240, 240, 255};
    CColor selectionColor{48, 140, 198, 255};
    CColor textColor{0, 0, 0, 255};
    CColor selectedTextColor{255, 255, 255, 255};
    CColor disabledTextColor{128, 128, 128, 255};
    std::int32_t font = kNormalFontSmall;
};

// The pop-up's geometry: every item's rectangle in the pop-up window's pixels.
struct GuiPopupLayout {
    std::vector<CRect> itemRects;
    CPoint size; // width (h), height (v)
};
// Frame around the items, in pixels.
inline constexpr std::int32_t kPopupBorder = 2;

// [ui thread; any state] The pop-up's geometry, hit test and drawing, for
// the backends.
GuiPopupLayout layoutPopupMenu(const GuiPopupMenu& menu, GuiMenuPainter& painter, GuiSurface& measure);
// Index of the item at point, or -1.
std::int32_t popupItemAt(const GuiPopupLayout& layout, const CPoint& point);
// Whether a screen point lies on a pop-up level placed at origin; item gets
// the index of the item there, or -1.
bool popupLevelHit(const GuiPopupLayout& layout, CPoint origin, CPoint screen, std::int32_t& item);
// Draws the whole pop-up, with `selected` (an item index or -1) highlighted.
void renderPopupMenu(const GuiPopupMenu& menu, const GuiPopupLayout& layout, GuiMenuPainter& painter,
                     GuiSurface& surface, std::int32_t selected);

// Measures and draws items through a scheme (a default one when none).
// [ui thread; any state]
class SchemeMenuPainter : public GuiMenuPainter {
public:
    explicit SchemeMenuPainter(MenuScheme* scheme);
    ~SchemeMenuPainter() override;
    SchemeMenuPainter(const SchemeMenuPainter&) = delete;
    SchemeMenuPainter& operator=(const SchemeMenuPainter&) = delete;

    CPoint itemSize(const GuiPopupItem& item, GuiSurface& surface) override;
    void drawItem(const GuiPopupItem& item, std::int32_t state, GuiSurface& surface,
                  const CRect& rect) override;
    void drawBackground(GuiSurface& surface, const CRect& rect) override;

private:
    MenuScheme* scheme;
};
