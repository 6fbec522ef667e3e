#include "gui/x11/x11_pixel_transfer.h"

#include <X11/Xutil.h>

#include <cstdint>
#include <cstdlib>

namespace {

// An 8-bit channel placed into a colour mask of any width and position.
unsigned long scale(std::uint32_t channel, unsigned long mask) {
    if (mask == 0) {
        return 0;
    }
    int shift = 0;
    while (((mask >> shift) & 1u) == 0) {
        ++shift;
    }
    int bits = 0;
    while (((mask >> (shift + bits)) & 1u) != 0) {
        ++bits;
    }
    unsigned long value = (channel & 0xffu);
    value = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
    return (value << shift) & mask;
}

} // namespace

X11PixelTransfer::X11PixelTransfer(Display* display, Window window) : dpy(display), target(window) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(dpy, window, &attributes);
    visual = attributes.visual;
    depth = attributes.depth;
    gc = XCreateGC(dpy, window, 0, nullptr);
    direct = visual != nullptr && (depth == 24 || depth == 32) && visual->red_mask == 0xff0000 &&
             visual->green_mask == 0x00ff00 && visual->blue_mask == 0x0000ff;
}

X11PixelTransfer::~X11PixelTransfer() {
    XFreeGC(dpy, gc);
}

void X11PixelTransfer::put(GuiSurface& source, CRect area) {
    GuiPixels pixels = source.pixels();
    area.bound(CRect(0, 0, pixels.width, pixels.height));
    if (area.isEmpty() || visual == nullptr) {
        return;
    }
    if (direct) {
        putDirect(pixels, area);
    } else {
        putConverted(pixels, area);
    }
}

// The image borrows the surface's pixels for the one request.
void X11PixelTransfer::putDirect(const GuiPixels& pixels, const CRect& area) {
    XImage* image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(const_cast<std::uint32_t*>(pixels.data)),
                                 static_cast<unsigned>(pixels.width), static_cast<unsigned>(pixels.height),
                                 32, pixels.width * 4);
    if (image == nullptr) {
        return;
    }
    // The words are in this machine's byte order; Xlib swaps for a
    // server that differs.
    image->byte_order = LSBFirst;
    image->bitmap_bit_order = LSBFirst;
    XInitImage(image);
    XPutImage(dpy, target, gc, image, area.left, area.top, area.left, area.top,
              static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()));
    image->data = nullptr; // the surface owns the pixels
    XDestroyImage(image);
}

void X11PixelTransfer::putConverted(const GuiPixels& pixels, const CRect& area) {
    XImage* image =
        XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()), 32, 0);
    if (image == nullptr) {
        return;
    }
    image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                 static_cast<std::size_t>(area.height())));
    if (image->data == nullptr) {
        XDestroyImage(image);
        return;
    }
    for (std::int32_t y = 0; y < area.height(); ++y) {
        const std::uint32_t* row = pixels.data + static_cast<std::size_t>(area.top + y) * pixels.width;
        for (std::int32_t x = 0; x < area.width(); ++x) {
            std::uint32_t p = row[area.left + x];
            XPutPixel(image, x, y,
                      scale(p >> 16, visual->red_mask) | scale(p >> 8, visual->green_mask) |
                          scale(p, visual->blue_mask));
        }
    }
    XPutImage(dpy, target, gc, image, 0, 0, area.left, area.top, static_cast<unsigned>(area.width()),
              static_cast<unsigned>(area.height()));
    XDestroyImage(image); // frees the data too
}
