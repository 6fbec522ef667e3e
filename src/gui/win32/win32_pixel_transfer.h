#pragma once

// Shows a surface's pixels in a window: the toolkit's premultiplied
// 0xAARRGGBB words are a top-down 32-bit device-independent bitmap as they
// are (blue, green, red, then a fourth byte the device ignores). Back buffers
// and menu canvases are filled everywhere, so nothing here blends.
//
// Threads: [ui thread] the thread that owns the window the device context
// belongs to.

#include <windows.h>

#include "gui/platform.h"

// Copies `area` of `source` to the same pixels of the device context.
void putSurfacePixels(HDC target, GuiSurface& source, CRect area);
