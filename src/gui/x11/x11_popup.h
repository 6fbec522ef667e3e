#pragma once

// Pop-up menus on X11. Each level of a menu is an override-redirect window of
// its own, drawn from a Cairo canvas; a sub-menu opens beside its item when
// the pointer moves onto it. While a menu is open it is modal: it grabs the
// pointer and the keyboard and reads the connection itself until an item is
// chosen or the menu is dismissed.

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>

#include "gui/platform.h"
#include "gui/x11/x11_connection.h"

// What a pop-up takes from the platform that opens it.
struct X11PopupContext {
    // The module's connection; its display must be open (not lost) at the start.
    const X11Connection& connection;
    // The class name every window of the module carries.
    const char* windowClass;
    // Handles a paint request (an Expose event) of a window that is not the
    // menu's, so the frame keeps painting under the menu.
    std::function<void(XEvent&)> otherWindowPaint;
    // Waits between attempts to grab the pointer.
    std::function<void(std::uint32_t milliseconds)> sleep;
};

// [ui thread, frame open; inside an X11HandlerScope, the connection kept open
// until it returns, and afterCalls() after] Shows `menu` with its top-left
// corner at `screenPosition` (kept on the screen) and returns the id of the
// chosen item, or -1 when the menu was dismissed, the grab failed or the
// connection was lost. With `rightButton` the right button may choose too.
std::int32_t runX11PopupMenu(const X11PopupContext& context, const GuiPopupMenu& menu, CPoint screenPosition,
                             bool rightButton, GuiMenuPainter& painter);
