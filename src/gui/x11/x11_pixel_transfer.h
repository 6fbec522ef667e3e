#pragma once

// Copies a surface's pixels (premultiplied 0xAARRGGBB, opaque in practice:
// the back buffer and menu canvases are filled everywhere) into a window. The
// common 24- and 32-bit true-colour visuals take the pixels as they are; other
// true-colour layouts are converted pixel by pixel.
//
// Threads: [ui thread, inside an X11HandlerScope] everything: it calls Xlib
// on the module's own connection.

#include <X11/Xlib.h>

#include "gui/platform.h"

class X11PixelTransfer {
public:
    // Reads the window's visual and makes a graphics context for it.
    X11PixelTransfer(Display* display, Window window);
    ~X11PixelTransfer();
    X11PixelTransfer(const X11PixelTransfer&) = delete;
    X11PixelTransfer& operator=(const X11PixelTransfer&) = delete;

    // Shows `area` of `source` (same pixel coordinates as the window).
    void put(GuiSurface& source, CRect area);

private:
    void putDirect(const GuiPixels& pixels, const CRect& area);
    void putConverted(const GuiPixels& pixels, const CRect& area);

    Display* dpy;
    Window target;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc;
    bool direct = false;
};
