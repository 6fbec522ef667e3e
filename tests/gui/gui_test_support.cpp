#include "gui_test_support.h"

#include <png.h>

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp /*png*/) {}

} // namespace

std::vector<std::uint8_t> encodePng(const PngRecipe& recipe) {
    std::vector<std::uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, appendBytes, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(recipe.width), static_cast<png_uint_32>(recipe.height),
                 recipe.bitDepth, recipe.colourType,
                 recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (!recipe.paletteRgb.empty()) {
        for (std::size_t i = 0; i + 2 < recipe.paletteRgb.size(); i += 3) {
            palette.push_back(
                png_color{recipe.paletteRgb[i], recipe.paletteRgb[i + 1], recipe.paletteRgb[i + 2]});
        }
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    png_color_16 key{};
    if (!recipe.transparency.empty()) {
        if (recipe.colourType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, recipe.transparency.data(), static_cast<int>(recipe.transparency.size()),
                         nullptr);
        } else {
            // Two bytes per value, big-endian: grey, or red green blue.
            auto value = [&](std::size_t i) {
                return static_cast<png_uint_16>((recipe.transparency[2 * i] << 8) |
                                                recipe.transparency[2 * i + 1]);
            };
            if (recipe.colourType == PNG_COLOR_TYPE_GRAY) {
                key.gray = value(0);
            } else {
                key.red = value(0);
                key.green = value(1);
                key.blue = value(2);
            }
            png_set_tRNS(png, info, nullptr, 0, &key);
        }
    }
    png_write_info(png, info);
    int passes = recipe.interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass) {
        for (const auto& row : recipe.rows) {
            png_write_row(png, const_cast<png_bytep>(row.data()));
        }
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}
