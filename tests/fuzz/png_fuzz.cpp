// Fuzz target: the toolkit's PNG loader, given any bytes as an image resource.
// A decoded image has the size its header gave, at most kMaxPngSide a side,
// and premultiplied pixels (no colour above its alpha); a failed one is all
// transparent. A bitmap made from the bytes answers consistently.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "gui/gui_bitmap.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::int32_t width = -1, height = -1;
    std::vector<std::uint32_t> pixels;
    const bool ok = decodePng(data, size, width, height, pixels);
    if (width < 0 || height < 0 || width > kMaxPngSide || height > kMaxPngSide) {
        fail("a size outside 0..kMaxPngSide");
    }
    if (ok) {
        if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
            fail("pixel count does not match the size");
        }
        for (std::uint32_t p : pixels) {
            const std::uint32_t alpha = p >> 24;
            if (((p >> 16) & 0xffu) > alpha || ((p >> 8) & 0xffu) > alpha || (p & 0xffu) > alpha) {
                fail("a colour above its alpha");
            }
        }
    } else {
        for (std::uint32_t p : pixels) {
            if (p != 0) {
                fail("a failed image with visible pixels");
            }
        }
    }

    GuiBitmap* bitmap = GuiBitmap::fromPng(data, size);
    if (bitmap->isDecoded() != ok || bitmap->getWidth() != (ok ? width : bitmap->getWidth())) {
        fail("the bitmap disagrees with the decoder");
    }
    if (bitmap->pixelAt(-1, 0) != 0 || bitmap->pixelAt(bitmap->getWidth(), 0) != 0) {
        fail("a pixel outside the bitmap");
    }
    if (bitmap->getWidth() > 0 && bitmap->getHeight() > 0) {
        (void)bitmap->pixelAt(bitmap->getWidth() - 1, bitmap->getHeight() - 1);
    }
    bitmap->release();
    return 0;
}
