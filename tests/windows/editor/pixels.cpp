#include "pixels.h"

#include <cairo.h>

#include <cstring>

Image captureWindow(HWND window) {
    Image image;
    RECT client{};
    if (window == nullptr || !GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) {
        return image;
    }
    const int width = client.right;
    const int height = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap != nullptr) {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        if (BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY)) {
            GdiFlush();
            const auto* words = static_cast<const std::uint32_t*>(bits);
            image.width = width;
            image.height = height;
            image.pixels.assign(words,
                                words + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
            for (std::uint32_t& pixel : image.pixels) {
                pixel &= 0xFFFFFFu;
            }
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(window, source);
    return image;
}

bool savePng(const Image& image, const std::string& path) {
    if (image.isEmpty()) {
        return false;
    }
    std::vector<std::uint32_t> copy = image.pixels;
    cairo_surface_t* surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(copy.data()), CAIRO_FORMAT_RGB24,
                                            image.width, image.height, image.width * 4);
    const bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(surface);
    return ok;
}

// Rows of a Cairo image may be padded: read them by its stride.
bool loadPng(const std::string& path, Image& image) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS &&
                    (format == CAIRO_FORMAT_RGB24 || format == CAIRO_FORMAT_ARGB32);
    if (ok) {
        cairo_surface_flush(surface);
        image.width = cairo_image_surface_get_width(surface);
        image.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        image.pixels.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
        for (int y = 0; y < image.height; ++y) {
            std::memcpy(&image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width)],
                        data + static_cast<std::ptrdiff_t>(y) * stride,
                        static_cast<std::size_t>(image.width) * 4);
        }
        for (std::uint32_t& pixel : image.pixels) {
            pixel &= 0xFFFFFFu;
        }
    }
    cairo_surface_destroy(surface);
    return ok;
}
