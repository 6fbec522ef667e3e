#include "gui/popup_menu.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Items are this tall, and their text starts this far in (the check mark
// sits in front of it).
constexpr std::int32_t kItemHeight = 18;
constexpr std::int32_t kTextIndent = 18;
constexpr std::int32_t kSeparatorWidth = 6;

} // namespace

// ---------------------------------------------------------------- MenuScheme

MenuScheme::MenuScheme() = default;

CPoint MenuScheme::getItemSize(const char* text, CDrawContext* context) {
    if (text != nullptr && std::strcmp(text, "-") == 0) {
        return CPoint(kSeparatorWidth, kItemHeight);
    }
    context->setFont(font);
    return CPoint(context->getStringWidth(text) + kTextIndent, kItemHeight);
}

void MenuScheme::drawItem(const char* text, std::int32_t /*itemId*/, std::int32_t state,
                          CDrawContext* context, const CRect& rect) {
    bool selected = (state & kSelected) != 0;
    context->setFillColor(selected ? selectionColor : backgroundColor);
    context->fillRect(rect);

    if (text != nullptr && std::strcmp(text, "-") == 0) {
        std::int32_t middle = rect.top + rect.height() / 2;
        context->setLineWidth(1);
        context->setFrameColor(kBlackCColor);
        context->moveTo(CPoint(rect.left + 2, middle - 1));
        context->lineTo(CPoint(rect.right - 2, middle - 1));
        context->setFrameColor(kWhiteCColor);
        context->moveTo(CPoint(rect.left + 2, middle));
        context->lineTo(CPoint(rect.right - 2, middle));
        return;
    }
    if ((state & kChecked) != 0) {
        context->setFillColor(selected ? selectedTextColor : textColor);
        CRect dot(rect.left + 6, rect.top + 4, rect.left + 14, rect.top + 12);
        context->drawEllipse(dot);
    }
    if (text == nullptr) {
        return;
    }
    CColor colour = (state & kDisabled) != 0 ? disabledTextColor : selected ? selectedTextColor : textColor;
    context->setFontColor(colour);
    context->setFont(font);
    CRect textRect(rect.left + kTextIndent, rect.top, rect.right, rect.bottom);
    const char* tab = std::strchr(text, '\t');
    if (tab == nullptr) {
        context->drawString(text, textRect, false, kLeftText);
        return;
    }
    std::string leftPart(text, static_cast<std::size_t>(tab - text));
    context->drawString(leftPart.c_str(), textRect, false, kLeftText);
    CRect rightRect = textRect;
    rightRect.right -= 4;
    context->drawString(tab + 1, rightRect, false, kRightText);
}

// ---------------------------------------------------------------- pop-up layout and drawing

GuiPopupLayout layoutPopupMenu(const GuiPopupMenu& menu, GuiMenuPainter& painter, GuiSurface& measure) {
    GuiPopupLayout layout;
    layout.itemRects.resize(menu.items.size());
    std::vector<CPoint> sizes;
    sizes.reserve(menu.items.size());
    for (const GuiPopupItem& item : menu.items) {
        sizes.push_back(painter.itemSize(item, measure));
    }
    // Columns: items stack down until an item starts a new column; every item
    // of a column is as wide as the widest.
    std::int32_t x = kPopupBorder;
    std::int32_t maxBottom = kPopupBorder;
    std::size_t columnStart = 0;
    auto closeColumn = [&](std::size_t end) {
        std::int32_t width = 0;
        for (std::size_t i = columnStart; i < end; ++i) {
            width = std::max(width, sizes[i].h);
        }
        std::int32_t y = kPopupBorder;
        for (std::size_t i = columnStart; i < end; ++i) {
            layout.itemRects[i] = CRect(x, y, x + width, y + sizes[i].v);
            y += sizes[i].v;
        }
        maxBottom = std::max(maxBottom, y);
        x += width;
        columnStart = end;
    };
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
        if (i > columnStart && (menu.items[i].flags & GuiPopupItem::kColumnBreak) != 0) {
            closeColumn(i);
        }
    }
    closeColumn(menu.items.size());
    layout.size = CPoint(x + kPopupBorder, maxBottom + kPopupBorder);
    return layout;
}

std::int32_t popupItemAt(const GuiPopupLayout& layout, const CPoint& point) {
    for (std::size_t i = 0; i < layout.itemRects.size(); ++i) {
        if (layout.itemRects[i].pointInside(point)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

bool popupLevelHit(const GuiPopupLayout& layout, CPoint origin, CPoint screen, std::int32_t& item) {
    const CPoint local(screen.h - origin.h, screen.v - origin.v);
    if (local.h < 0 || local.v < 0 || local.h >= layout.size.h || local.v >= layout.size.v) {
        return false;
    }
    item = popupItemAt(layout, local);
    return true;
}

void renderPopupMenu(const GuiPopupMenu& menu, const GuiPopupLayout& layout, GuiMenuPainter& painter,
                     GuiSurface& surface, std::int32_t selected) {
    surface.setClip(CRect(0, 0, surface.width(), surface.height()));
    painter.drawBackground(surface, CRect(0, 0, layout.size.h, layout.size.v));
    for (std::size_t i = 0; i < menu.items.size(); ++i) {
        const GuiPopupItem& item = menu.items[i];
        std::int32_t state = 0;
        if ((item.flags & GuiPopupItem::kChecked) != 0) {
            state |= MenuScheme::kChecked;
        }
        if ((item.flags & GuiPopupItem::kDisabled) != 0) {
            state |= MenuScheme::kDisabled;
        }
        if (static_cast<std::int32_t>(i) == selected && !item.isSeparator()) {
            state |= MenuScheme::kSelected;
        }
        surface.setClip(layout.itemRects[i]);
        painter.drawItem(item, state, surface, layout.itemRects[i]);
    }
    surface.setClip(CRect(0, 0, surface.width(), surface.height()));
    surface.flush();
}

SchemeMenuPainter::SchemeMenuPainter(MenuScheme* scheme_) : scheme(scheme_) {
    if (scheme != nullptr) {
        scheme->retain();
    } else {
        scheme = new MenuScheme();
    }
}

SchemeMenuPainter::~SchemeMenuPainter() {
    scheme->release();
}

CPoint SchemeMenuPainter::itemSize(const GuiPopupItem& item, GuiSurface& surface) {
    auto* context = new CDrawContext(nullptr, &surface);
    CPoint result = scheme->getItemSize(item.text.c_str(), context);
    context->release();
    if (item.submenu != nullptr) {
        result.h += 12; // room for the arrow
    }
    return result;
}

void SchemeMenuPainter::drawItem(const GuiPopupItem& item, std::int32_t state, GuiSurface& surface,
                                 const CRect& rect) {
    auto* context = new CDrawContext(nullptr, &surface);
    context->setClipRect(rect);
    scheme->drawItem(item.text.c_str(), item.id, state, context, rect);
    if (item.submenu != nullptr) {
        // A small arrow at the right edge marks an item that opens a sub-menu.
        CColor colour =
            (state & MenuScheme::kSelected) != 0 ? scheme->getSelectedTextColor() : scheme->getTextColor();
        std::int32_t cx = rect.right - 8;
        std::int32_t cy = rect.top + rect.height() / 2;
        context->setFrameColor(colour);
        for (std::int32_t i = 0; i < 4; ++i) {
            context->moveTo(CPoint(cx + i, cy - 3 + i));
            context->lineTo(CPoint(cx + i, cy + 4 - i));
        }
    }
    context->release();
}

void SchemeMenuPainter::drawBackground(GuiSurface& surface, const CRect& rect) {
    auto* context = new CDrawContext(nullptr, &surface);
    context->setFillColor(scheme->getBackgroundColor());
    context->fillRect(rect);
    context->setFrameColor(scheme->getDisabledTextColor());
    context->drawRect(rect);
    context->release();
}
