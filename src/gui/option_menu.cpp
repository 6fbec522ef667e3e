#include "gui/option_menu.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "gui/gui_bitmap.h"

namespace {

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
