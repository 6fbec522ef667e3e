#pragma once

// The Win32 backend: the frame's window is a child of the host's window,
// drawn from a Cairo back buffer; pop-up menus are top-level windows of their
// own, modal while open. The host's message loop hands the windows their
// messages (paints, clicks, wheel turns); the editor's idle only catches up on
// paints the loop has not come to yet. A timer of each window idles the editor
// when the host stops doing so.

#include <memory>

#include "gui/platform.h"

// [any thread] It makes no window-system call before the first window. The
// parent passed to createWindow is the host's HWND.
std::unique_ptr<GuiPlatform> createWin32Platform();
