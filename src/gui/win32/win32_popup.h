#pragma once

// Pop-up menus on Win32. Each level of a menu is a top-level pop-up window of
// the module's class, drawn from a Cairo canvas through the menu painter (the
// look of the X11 menus); a sub-menu opens beside its item when the pointer
// moves onto it. While a menu is open it is modal: it captures the pointer and
// reads the thread's messages itself, taking every mouse and key message and
// passing the rest on (so the frame and the host keep painting), until an
// item is chosen or the menu is dismissed.

#include <windows.h>

#include <cstdint>

#include "gui/platform.h"

// [ui thread, frame open; from a click's handling] Shows `menu` with its
// top-left corner at `screenPosition` (kept on the monitor) and returns the
// id of the chosen item, or -1 when the menu was dismissed (a click outside,
// Escape, the capture taken away, the program quitting). The levels are owned
// by `owner`'s top-level window. With `rightButton` the right button may
// choose too.
std::int32_t runWin32PopupMenu(HWND owner, const GuiPopupMenu& menu, CPoint screenPosition, bool rightButton,
                               GuiMenuPainter& painter);
