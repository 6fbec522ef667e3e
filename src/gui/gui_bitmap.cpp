#include "gui/gui_bitmap.h"

#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstring>
#include <map>
#include <utility>

#include "gui/draw_context.h"

// Pixels are kept as native 32-bit words 0xAARRGGBB; libpng's BGR order with
// the alpha (or filler) byte after each pixel gives exactly that layout in
// memory on a little-endian machine.
static_assert(std::endian::native == std::endian::little, "pixel layout assumes a little-endian machine");

// ---------------------------------------------------------------- resources

namespace {

struct ResourceBytes {
    const unsigned char* data;
    std::size_t size;
};

std::map<std::int32_t, ResourceBytes>& resourceTable() {
    static std::map<std::int32_t, ResourceBytes> table;
    return table;
}

} // namespace

void registerGuiResource(std::int32_t id, const unsigned char* data, std::size_t size) {
    resourceTable()[id] = ResourceBytes{data, size};
}

bool findGuiResource(std::int32_t id, const unsigned char** data, std::size_t* size) {
    auto& table = resourceTable();
    auto it = table.find(id);
    if (it == table.end()) {
        return false;
    }
    *data = it->second.data;
    *size = it->second.size;
    return true;
}

void unregisterGuiResource(std::int32_t id) {
    resourceTable().erase(id);
}

// ---------------------------------------------------------------- PNG decoding

namespace {

struct MemoryReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    if (count > reader->size - reader->position) {
        png_error(png, "truncated");
    }
    std::memcpy(out, reader->data + reader->position, count);
    reader->position += count;
}

// Errors jump back to the decoder, which gives up on the image; nothing is
// printed.
[[noreturn]] void failDecoding(png_structp png, png_const_charp /*message*/) {
    png_longjmp(png, 1);
}

void ignoreWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void premultiply(std::vector<std::uint32_t>& pixels) {
    for (std::uint32_t& p : pixels) {
        std::uint32_t a = p >> 24;
        if (a == 0) {
            p = 0;
            continue;
        }
        std::uint32_t r = (((p >> 16) & 0xffu) * a) >> 8;
        std::uint32_t g = (((p >> 8) & 0xffu) * a) >> 8;
        std::uint32_t b = ((p & 0xffu) * a) >> 8;
        p = (a << 24) | (r << 16) | (g << 8) | b;
    }
}

// Everything libpng may jump over lives outside this frame or is plain data.
bool decodeRows(png_structp png, png_infop info, MemoryReader* reader, std::int32_t& width,
                std::int32_t& height, std::vector<std::uint32_t>& pixels) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_read_fn(png, reader, readFromMemory);
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxPngSide), static_cast<png_uint_32>(kMaxPngSide));
    png_read_info(png, info);

    png_uint_32 w = 0;
    png_uint_32 h = 0;
    int bitDepth = 0;
    int colourType = 0;
    png_get_IHDR(png, info, &w, &h, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    width = static_cast<std::int32_t>(w);
    height = static_cast<std::int32_t>(h);
    pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0u);

    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (png_get_valid(png, info, PNG_INFO_tRNS) != 0) {
        png_set_tRNS_to_alpha(png);
    } else {
        png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    }
    if (bitDepth == 16) {
        png_set_strip_16(png);
    }
    png_set_bgr(png);
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(w) * 4u) {
        png_error(png, "unexpected row size");
    }
    for (int pass = 0; pass < passes; ++pass) {
        for (png_uint_32 y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<png_bytep>(pixels.data() + static_cast<std::size_t>(y) * w);
            png_read_row(png, row, nullptr);
        }
    }
    return true;
}

} // namespace

bool decodePng(const unsigned char* bytes, std::size_t size, std::int32_t& width, std::int32_t& height,
               std::vector<std::uint32_t>& pixels) {
    width = 0;
    height = 0;
    pixels.clear();
    if (bytes == nullptr || size < 8 || png_sig_cmp(bytes, 0, 8) != 0) {
        return false;
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, failDecoding, ignoreWarning);
    if (png == nullptr) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    MemoryReader reader{bytes, size, 0};
    bool ok = decodeRows(png, info, &reader, width, height, pixels);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) {
        std::fill(pixels.begin(), pixels.end(), 0u);
        return false;
    }
    premultiply(pixels);
    return true;
}

// ---------------------------------------------------------------- GuiBitmap

GuiBitmap::GuiBitmap(std::int32_t resourceId) {
    const unsigned char* bytes = nullptr;
    std::size_t size = 0;
    if (findGuiResource(resourceId, &bytes, &size)) {
        loadPng(bytes, size);
    } else {
        // No image with that id: an empty bitmap without alpha.
        noAlpha = true;
        decoded = false;
    }
}

GuiBitmap::GuiBitmap(std::int32_t width_, std::int32_t height_) {
    width = width_ > 0 ? width_ : 0;
    height = height_ > 0 ? height_ : 0;
    data.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0u);
}

GuiBitmap* GuiBitmap::fromPng(const unsigned char* bytes, std::size_t size) {
    auto* bitmap = new GuiBitmap();
    bitmap->loadPng(bytes, size);
    return bitmap;
}

GuiBitmap* GuiBitmap::fromRgb(std::int32_t width, std::int32_t height, const std::uint32_t* rgb) {
    auto* bitmap = new GuiBitmap(width, height);
    bitmap->noAlpha = true;
    if (rgb != nullptr) {
        for (std::size_t i = 0; i < bitmap->data.size(); ++i) {
            bitmap->data[i] = 0xff000000u | (rgb[i] & 0x00ffffffu);
        }
    }
    return bitmap;
}

void GuiBitmap::loadPng(const unsigned char* bytes, std::size_t size) {
    noAlpha = false;
    decoded = decodePng(bytes, size, width, height, data);
    keyedValid = false;
}

void GuiBitmap::setTransparentColor(CColor colour) {
    transparentColor = colour;
    keyedValid = false;
}

GuiPixels GuiBitmap::pixels() const {
    return GuiPixels{data.data(), width, height};
}

std::uint32_t GuiBitmap::pixelAt(std::int32_t x, std::int32_t y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return 0;
    }
    return data[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
}

// Pixels of the transparent colour become fully transparent, the rest stay
// opaque: one composite then gives the colour-key result.
const std::vector<std::uint32_t>& GuiBitmap::keyedPixels() {
    if (!keyedValid) {
        std::uint32_t key = (static_cast<std::uint32_t>(transparentColor.red) << 16) |
                            (static_cast<std::uint32_t>(transparentColor.green) << 8) | transparentColor.blue;
        keyed.resize(data.size());
        for (std::size_t i = 0; i < data.size(); ++i) {
            keyed[i] = (data[i] & 0x00ffffffu) == key ? 0u : data[i];
        }
        keyedValid = true;
    }
    return keyed;
}

namespace {

bool prepareDraw(CDrawContext* context, std::int32_t width, std::int32_t height, const CRect& dest,
                 CRect& onSurface) {
    if (context == nullptr || context->getSurface() == nullptr || width <= 0 || height <= 0 ||
        dest.isEmpty()) {
        return false;
    }
    onSurface = dest;
    CPoint origin = context->getOffset();
    onSurface.offset(origin.h, origin.v);
    return true;
}

} // namespace

void GuiBitmap::draw(CDrawContext* context, const CRect& dest, const CPoint& offset) {
    CRect onSurface;
    if (!prepareDraw(context, width, height, dest, onSurface)) {
        return;
    }
    context->getSurface()->drawPixels(pixels(), onSurface, offset, !noAlpha);
}

void GuiBitmap::drawTransparent(CDrawContext* context, const CRect& dest, const CPoint& offset) {
    CRect onSurface;
    if (!prepareDraw(context, width, height, dest, onSurface)) {
        return;
    }
    if (!noAlpha) {
        context->getSurface()->drawPixels(pixels(), onSurface, offset, true);
        return;
    }
    const std::vector<std::uint32_t>& source = keyedPixels();
    context->getSurface()->drawPixels(GuiPixels{source.data(), width, height}, onSurface, offset, true);
}
