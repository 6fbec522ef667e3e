#include "gui/option_menu.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "gui/gui_bitmap.h"

namespace {

// Items are this tall, and their text starts this far in (the check mark
// sits in front of it).
constexpr std::int32_t kItemHeight = 18;
constexpr std::int32_t kTextIndent = 18;
constexpr std::int32_t kSeparatorWidth = 6;
// Sub-menus nested deeper than this are left out (guards against a menu that
// contains itself).
constexpr std::int32_t kMaxMenuDepth = 8;

enum class EntryKind { plain, separator, title, greyed, subMenu };

EntryKind entryKind(const std::string& text) {
    if (text.empty() || text[0] != '-') {
        return EntryKind::plain;
    }
    if (text.size() >= 2) {
        switch (text[1]) {
        case 'T':
            return EntryKind::title;
        case 'G':
            return EntryKind::greyed;
        case 'M':
            return EntryKind::subMenu;
        default:
            break;
        }
    }
    return EntryKind::separator;
}

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

// ---------------------------------------------------------------- COptionMenu

COptionMenu::COptionMenu(const CRect& size_, CControlListener* listener_, std::int32_t tag_,
                         GuiBitmap* background_, GuiBitmap* pressedBitmap_, std::int32_t style_)
    : CParamDisplay(size_, background_, style_) {
    setListener(listener_);
    setTag(tag_);
    if (pressedBitmap_ != nullptr) {
        pressedBitmap_->retain();
        pressedBitmap = pressedBitmap_;
    }
    entries.reserve(kEntryStep);
}

COptionMenu::~COptionMenu() {
    removeAllEntry();
    if (scheme != nullptr) {
        scheme->release();
    }
    if (pressedBitmap != nullptr) {
        pressedBitmap->release();
    }
}

bool COptionMenu::addEntry(const char* text, std::int32_t index) {
    if (getNbEntries() >= kMaxEntries) {
        return false;
    }
    std::string entry = text != nullptr ? text : "";
    if (entry.size() > static_cast<std::size_t>(kEntryLength)) {
        entry.resize(static_cast<std::size_t>(kEntryLength));
    }
    if (entries.size() == entries.capacity()) {
        entries.reserve(entries.size() + kEntryStep);
    }
    std::size_t at = index < 0 || index >= getNbEntries() ? entries.size() : static_cast<std::size_t>(index);
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at), entry);
    checked.insert(checked.begin() + static_cast<std::ptrdiff_t>(at), false);
    subMenus.insert(subMenus.begin() + static_cast<std::ptrdiff_t>(at), nullptr);
    return true;
}

bool COptionMenu::addEntry(COptionMenu* subMenu, const char* title) {
    if (subMenu == nullptr || subMenu == this) {
        return false;
    }
    std::string entry = "-M";
    entry += title != nullptr ? title : "";
    if (!addEntry(entry.c_str())) {
        return false;
    }
    subMenu->retain();
    subMenus.back() = subMenu;
    return true;
}

bool COptionMenu::removeEntry(std::int32_t index) {
    if (index < 0 || index >= getNbEntries()) {
        return false;
    }
    auto at = static_cast<std::size_t>(index);
    if (subMenus[at] != nullptr) {
        subMenus[at]->release();
    }
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at));
    checked.erase(checked.begin() + static_cast<std::ptrdiff_t>(at));
    subMenus.erase(subMenus.begin() + static_cast<std::ptrdiff_t>(at));
    if (currentIndex >= getNbEntries()) {
        currentIndex = -1;
    }
    return true;
}

bool COptionMenu::removeAllEntry() {
    for (COptionMenu* sub : subMenus) {
        if (sub != nullptr) {
            sub->release();
        }
    }
    entries.clear();
    checked.clear();
    subMenus.clear();
    currentIndex = -1;
    return true;
}

const char* COptionMenu::getEntry(std::int32_t index) const {
    if (index < 0 || index >= getNbEntries()) {
        return nullptr;
    }
    return entries[static_cast<std::size_t>(index)].c_str();
}

std::string COptionMenu::getDisplayText(std::int32_t index) const {
    const char* text = getEntry(index);
    if (text == nullptr) {
        return std::string();
    }
    std::string entry = text;
    switch (entryKind(entry)) {
    case EntryKind::title:
    case EntryKind::greyed:
    case EntryKind::subMenu:
        return entry.substr(2);
    case EntryKind::separator:
        return "-";
    case EntryKind::plain:
        break;
    }
    return entry;
}

COptionMenu* COptionMenu::getSubMenu(std::int32_t index) const {
    if (index < 0 || index >= getNbEntries()) {
        return nullptr;
    }
    return subMenus[static_cast<std::size_t>(index)];
}

bool COptionMenu::checkEntry(std::int32_t index, bool state) {
    if (index < 0 || index >= getNbEntries()) {
        return false;
    }
    checked[static_cast<std::size_t>(index)] = state;
    return true;
}

bool COptionMenu::isCheckEntry(std::int32_t index) const {
    if (index < 0 || index >= getNbEntries()) {
        return false;
    }
    return checked[static_cast<std::size_t>(index)];
}

void COptionMenu::setPrefixNumbers(std::int32_t mode) {
    if (mode == 0 || (mode >= 2 && mode <= 4)) {
        prefixNumbers = mode;
    }
}

void COptionMenu::setScheme(MenuScheme* newScheme) {
    if (newScheme != nullptr) {
        newScheme->retain();
    }
    if (scheme != nullptr) {
        scheme->release();
    }
    scheme = newScheme;
}

void COptionMenu::setValue(float newValue) {
    if (!std::isfinite(newValue)) {
        return;
    }
    float whole = std::trunc(newValue);
    if (whole < 0.f || whole >= static_cast<float>(getNbEntries())) {
        return;
    }
    currentIndex = static_cast<std::int32_t>(whole);
    if ((style & kCheckStyle) != 0) {
        auto at = static_cast<std::size_t>(currentIndex);
        checked[at] = !checked[at];
    }
    value = newValue;
    setDirty();
}

void COptionMenu::draw(CDrawContext* context) {
    std::string text = currentIndex >= 0 ? getDisplayText(currentIndex) : std::string();
    drawText(context, text.c_str());
}

void COptionMenu::buildPopup(GuiPopupMenu& popup, std::vector<ItemOwner>& owners, std::int32_t depth) {
    bool columns = getNbEntries() < kMaxEntriesForColumns && itemsPerColumn > 0;
    for (std::int32_t i = 0; i < getNbEntries(); ++i) {
        const std::string& entry = entries[static_cast<std::size_t>(i)];
        GuiPopupItem item;
        item.id = static_cast<std::int32_t>(owners.size());
        owners.push_back({this, i});
        EntryKind kind = entryKind(entry);
        std::string shown = getDisplayText(i);
        if (prefixNumbers != 0 && kind != EntryKind::separator) {
            static const char* const formats[] = {"%1d %s", "%02d %s", "%03d %s"};
            char numbered[COptionMenu::kEntryLength + 16];
            std::snprintf(numbered, sizeof numbered, formats[prefixNumbers - 2], i + 1, shown.c_str());
            shown = numbered;
        }
        // A separator's text is "-", which the scheme draws as a line.
        item.text = kind == EntryKind::separator ? std::string(1, '-') : shown;
        switch (kind) {
        case EntryKind::separator:
            item.flags |= GuiPopupItem::kSeparator;
            break;
        case EntryKind::title:
            item.flags |= GuiPopupItem::kTitle | GuiPopupItem::kDisabled;
            break;
        case EntryKind::greyed:
            item.flags |= GuiPopupItem::kDisabled;
            break;
        case EntryKind::subMenu: {
            COptionMenu* sub = subMenus[static_cast<std::size_t>(i)];
            if (sub != nullptr && depth < kMaxMenuDepth) {
                auto level = std::make_unique<GuiPopupMenu>();
                sub->buildPopup(*level, owners, depth + 1);
                item.submenu = level.get();
                popup.submenus.push_back(std::move(level));
            } else {
                item.flags |= GuiPopupItem::kDisabled;
            }
            break;
        }
        case EntryKind::plain:
            break;
        }
        bool isChecked = ((style & kCheckStyle) != 0 && checked[static_cast<std::size_t>(i)]) ||
                         ((style & kCheckCurrentStyle) != 0 && i == currentIndex);
        if (isChecked) {
            item.flags |= GuiPopupItem::kChecked;
        }
        if (columns && i > 0 && i % itemsPerColumn == 0) {
            item.flags |= GuiPopupItem::kColumnBreak;
        }
        popup.items.push_back(std::move(item));
    }
}

CPoint COptionMenu::popupPosition() const {
    CPoint p(size.left, (style & kPopupAtTopStyle) != 0 ? size.top : size.bottom);
    localToFrame(p);
    return p;
}

void COptionMenu::mouse(CDrawContext* context, CPoint& /*where*/, std::int32_t buttons) {
    if (!mouseEnabled) {
        return;
    }
    if (buttons == -1) {
        buttons = context != nullptr ? context->getMouseButtons() : 0;
    }
    if ((buttons & (kLButton | kRButton | kApple)) == 0) {
        return;
    }
    if (offerModifierClick(context, buttons)) {
        return;
    }
    if (pressedBitmap != nullptr && context != nullptr) {
        pressedBitmap->draw(context, size);
        if (parentFrame != nullptr) {
            CRect shown = size;
            CPoint topLeft(size.left, size.top);
            localToFrame(topLeft);
            shown.moveTo(topLeft.h, topLeft.v);
            parentFrame->presentBackBuffer(&shown);
        }
        setDirty();
    }
    beginEdit();

    std::int32_t chosen = -1;
    GuiPopupMenu popup;
    std::vector<ItemOwner> owners;
    buildPopup(popup, owners);
    if (parentFrame != nullptr && parentFrame->getPlatform() != nullptr &&
        parentFrame->getWindow() != nullptr) {
        CPoint screen = parentFrame->localToScreen(popupPosition());
        SchemeMenuPainter painter(scheme);
        chosen = parentFrame->getPlatform()->popupMenu(*parentFrame->getWindow(), popup, screen,
                                                       (buttons & kRButton) != 0, painter);
    }
    if (chosen >= 0 && chosen < static_cast<std::int32_t>(owners.size())) {
        ItemOwner owner = owners[static_cast<std::size_t>(chosen)];
        lastMenu = owner.menu;
        lastResult = owner.position;
        owner.menu->lastResult = owner.position;
        owner.menu->setValue(static_cast<float>(owner.position));
        if (listener != nullptr) {
            listener->valueChanged(context, owner.menu);
        }
    }
    if (parentFrame != nullptr) {
        parentFrame->setFocusView(nullptr);
    }
    endEdit();
}

bool COptionMenu::isTypeOf(const char* className) const {
    return std::strcmp(className, "COptionMenu") == 0 || CParamDisplay::isTypeOf(className);
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
