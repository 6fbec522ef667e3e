#pragma once

// Pixels of a window as the screen shows them, and PNG files through Cairo
// (the same static library the module draws with).

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, rows top-down

    bool isEmpty() const { return pixels.empty(); }
    std::uint32_t at(int x, int y) const {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// [the window's thread] The client area, copied from the window's device
// context; empty when it cannot be read.
Image captureWindow(HWND window);

bool savePng(const Image& image, const std::string& path);
// False when the file is missing or is no PNG.
bool loadPng(const std::string& path, Image& image);
