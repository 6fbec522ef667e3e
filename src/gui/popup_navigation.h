#pragma once

// What a pop-up menu does with the pointer and the keys, apart from the
// windows that show it: which levels are open, which item each highlights,
// when a sub-menu opens or closes, and which item is chosen. The backends
// feed it their events in screen coordinates and show the levels it asks for.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/gui_types.h"
#include "gui/platform.h"
#include "gui/popup_menu.h"

// One open level: the first the menu itself, the deepest on top.
struct PopupLevel {
    const GuiPopupMenu* menu = nullptr;
    GuiPopupLayout layout;
    CPoint origin; // on the screen
    std::int32_t selected = -1;

    // The window's size: the layout's, at least 8 pixels either way.
    CPoint windowSize() const;
};

// The backend's side: a window per level.
// [ui thread, pop-up open] everything.
class PopupLevelWindows {
public:
    virtual ~PopupLevelWindows() = default;
    // Shows the deepest level (it may move `level.origin` to keep the window
    // on the screen); false when no window could be made.
    virtual bool showLevel(PopupLevel& level) = 0;
    // Closes the deepest level's window.
    virtual void closeLevel() = 0;
    // Draws level `index` again (its highlight changed).
    virtual void redrawLevel(std::size_t index) = 0;
};

// [ui thread, pop-up open] everything.
class PopupNavigation {
public:
    enum class Key { Escape, Return, Up, Down };

    // `measure` is a surface the items are measured on. With
    // `rightButtonChooses` a release of the right button chooses too.
    PopupNavigation(PopupLevelWindows& windows, GuiMenuPainter& painter, GuiSurface& measure,
                    bool rightButtonChooses);
    PopupNavigation(const PopupNavigation&) = delete;
    PopupNavigation& operator=(const PopupNavigation&) = delete;

    // Lays out and shows a level of `menu` at `origin`; false when its window
    // could not be made.
    bool open(const GuiPopupMenu& menu, CPoint origin);
    void closeAll() { closeAbove(0); }

    // The pointer's events, at screen points. A press outside every level
    // dismisses the menu; a release on an item that can be chosen chooses it.
    void pointerMoved(CPoint screen);
    void buttonPressed(CPoint screen);
    void buttonReleased(CPoint screen, bool rightButton);
    // The keys act on the deepest level: Escape dismisses, Return chooses the
    // highlighted item, the arrows move the highlight.
    void keyPressed(Key key);
    void dismiss() { done = true; }

    bool isDone() const { return done; }
    // The chosen item's id, or -1.
    std::int32_t result() const { return chosen; }
    std::size_t depth() const { return levels.size(); }
    const PopupLevel& level(std::size_t index) const { return levels[index]; }

private:
    void closeAbove(std::size_t keep);
    // The level and item under a screen point; false when outside every level.
    bool hit(CPoint screen, std::size_t& levelIndex, std::int32_t& item) const;
    void moveSelection(std::size_t index, bool down);
    void chooseIfSelectable(const PopupLevel& level, std::int32_t item);

    PopupLevelWindows& windows;
    GuiMenuPainter& painter;
    GuiSurface& measure;
    bool rightButtonChooses;
    std::vector<PopupLevel> levels;
    bool done = false;
    std::int32_t chosen = -1;
};

// [ui thread; any state] Draws a level whole into `surface`, its highlight included.
void renderPopupLevel(const PopupLevel& level, GuiMenuPainter& painter, GuiSurface& surface);
