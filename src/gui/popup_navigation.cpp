#include "gui/popup_navigation.h"

#include <algorithm>

CPoint PopupLevel::windowSize() const {
    return CPoint(std::max(layout.size.h, 8), std::max(layout.size.v, 8));
}

void renderPopupLevel(const PopupLevel& level, GuiMenuPainter& painter, GuiSurface& surface) {
    renderPopupMenu(*level.menu, level.layout, painter, surface, level.selected);
}

PopupNavigation::PopupNavigation(PopupLevelWindows& levelWindows, GuiMenuPainter& menuPainter,
                                 GuiSurface& measureSurface, bool rightButton)
    : windows(levelWindows), painter(menuPainter), measure(measureSurface), rightButtonChooses(rightButton) {}

bool PopupNavigation::open(const GuiPopupMenu& menu, CPoint origin) {
    PopupLevel level;
    level.menu = &menu;
    level.layout = layoutPopupMenu(menu, painter, measure);
    level.origin = origin;
    levels.push_back(std::move(level));
    if (!windows.showLevel(levels.back())) {
        levels.pop_back();
        return false;
    }
    return true;
}

void PopupNavigation::closeAbove(std::size_t keep) {
    while (levels.size() > keep) {
        windows.closeLevel();
        levels.pop_back();
    }
}

bool PopupNavigation::hit(CPoint screen, std::size_t& levelIndex, std::int32_t& item) const {
    // The deepest level lies on top.
    for (std::size_t i = levels.size(); i-- > 0;) {
        const PopupLevel& level = levels[i];
        if (popupLevelHit(level.layout, level.origin, screen, item)) {
            levelIndex = i;
            return true;
        }
    }
    return false;
}

// Highlights the item under the pointer; an item with a sub-menu opens it
// beside itself, and moving to another item closes deeper levels.
void PopupNavigation::pointerMoved(CPoint screen) {
    std::size_t index = 0;
    std::int32_t item = -1;
    if (!hit(screen, index, item) || item == levels[index].selected) {
        return;
    }
    closeAbove(index + 1);
    PopupLevel& current = levels[index];
    current.selected = item;
    windows.redrawLevel(index);
    if (item >= 0) {
        const GuiPopupItem& entry = current.menu->items[static_cast<std::size_t>(item)];
        if (entry.submenu != nullptr && (entry.flags & GuiPopupItem::kDisabled) == 0) {
            const CRect& r = current.layout.itemRects[static_cast<std::size_t>(item)];
            open(*entry.submenu, CPoint(current.origin.h + r.right, current.origin.v + r.top - kPopupBorder));
        }
    }
}

void PopupNavigation::buttonPressed(CPoint screen) {
    std::size_t index = 0;
    std::int32_t item = -1;
    if (!hit(screen, index, item)) {
        done = true; // a click outside dismisses
    }
}

void PopupNavigation::buttonReleased(CPoint screen, bool rightButton) {
    if (rightButton && !rightButtonChooses) {
        return;
    }
    std::size_t index = 0;
    std::int32_t item = -1;
    // The release of the opening click lands outside: ignored.
    if (hit(screen, index, item)) {
        chooseIfSelectable(levels[index], item);
    }
}

void PopupNavigation::keyPressed(Key key) {
    const PopupLevel& deepest = levels.back();
    switch (key) {
    case Key::Escape:
        done = true;
        break;
    case Key::Return:
        chooseIfSelectable(deepest, deepest.selected);
        break;
    case Key::Up:
    case Key::Down:
        if (!deepest.menu->items.empty()) {
            moveSelection(levels.size() - 1, key == Key::Down);
        }
        break;
    }
}

void PopupNavigation::chooseIfSelectable(const PopupLevel& level, std::int32_t item) {
    if (item < 0) {
        return;
    }
    const GuiPopupItem& entry = level.menu->items[static_cast<std::size_t>(item)];
    if (entry.isSelectable()) {
        chosen = entry.id;
        done = true;
    }
}

// To the next item that can be chosen, round the end; from no highlight, the
// first (or last) item.
void PopupNavigation::moveSelection(std::size_t index, bool down) {
    PopupLevel& level = levels[index];
    const auto& items = level.menu->items;
    const std::int32_t count = static_cast<std::int32_t>(items.size());
    const std::int32_t step = down ? 1 : count - 1;
    std::int32_t next = level.selected;
    for (std::int32_t i = 0; i < count; ++i) {
        next = next < 0 ? (down ? 0 : count - 1) : (next + step) % count;
        if (items[static_cast<std::size_t>(next)].isSelectable()) {
            break;
        }
    }
    level.selected = next;
    windows.redrawLevel(index);
}
