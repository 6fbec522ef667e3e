#include "gui/win32/win32_pixel_transfer.h"

#include <cstddef>
#include <cstdint>

void putSurfacePixels(HDC target, GuiSurface& source, CRect area) {
    if (target == nullptr) {
        return;
    }
    const GuiPixels pixels = source.pixels();
    area.bound(CRect(0, 0, pixels.width, pixels.height));
    if (area.isEmpty() || pixels.data == nullptr) {
        return;
    }
    // The bitmap handed over starts at the area's first row and holds just
    // its rows: the whole bitmap is copied in height, which sidesteps the
    // bottom-up counting of source rows that top-down bitmaps are prone to.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = pixels.width;
    info.bmiHeader.biHeight = -area.height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const std::uint32_t* firstRow =
        pixels.data + static_cast<std::size_t>(area.top) * static_cast<std::size_t>(pixels.width);
    SetDIBitsToDevice(target, area.left, area.top, static_cast<DWORD>(area.width()),
                      static_cast<DWORD>(area.height()), area.left, 0, 0, static_cast<UINT>(area.height()),
                      firstRow, &info, DIB_RGB_COLORS);
}
