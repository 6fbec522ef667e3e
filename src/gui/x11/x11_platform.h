#pragma once

// The X11 backend: the frame's window is a child of the host's X11 window,
// drawn from a Cairo back buffer; pop-up menus are override-redirect windows
// of their own, modal while open. The module opens its own display connection
// on the thread that opens the first window (the host's UI thread) and closes
// it with the last window; its events are handled only when the editor idles.

#include <memory>

#include "gui/platform.h"

// [any thread] It makes no Xlib call before the first window. The parent
// passed to createWindow is the host's window id (an X11 window id carried in
// a pointer).
std::unique_ptr<GuiPlatform> createX11Platform();
