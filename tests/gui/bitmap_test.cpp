// PNG decoding with the toolkit's read transforms, premultiplication, the
// resource table, and how bitmaps land on a surface.

#include <gtest/gtest.h>
#include <png.h>

#include <cstdlib>

#include "gui/cairo/cairo_surface.h"
#include "gui/draw_context.h"
#include "gui_test_support.h"

namespace {

std::uint32_t alphaOf(std::uint32_t p) {
    return p >> 24;
}
std::uint32_t redOf(std::uint32_t p) {
    return (p >> 16) & 0xff;
}
std::uint32_t greenOf(std::uint32_t p) {
    return (p >> 8) & 0xff;
}
std::uint32_t blueOf(std::uint32_t p) {
    return p & 0xff;
}

GuiBitmap* decode(const std::vector<std::uint8_t>& bytes) {
    return GuiBitmap::fromPng(bytes.data(), bytes.size());
}

PngRecipe rgbaImage(std::int32_t width, std::int32_t height, const std::vector<std::uint8_t>& rgba) {
    PngRecipe recipe;
    recipe.width = width;
    recipe.height = height;
    recipe.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    for (std::int32_t y = 0; y < height; ++y) {
        auto begin = rgba.begin() + static_cast<std::ptrdiff_t>(y) * width * 4;
        recipe.rows.emplace_back(begin, begin + width * 4);
    }
    return recipe;
}

COffscreenContext* canvas(std::int32_t width, std::int32_t height, CColor background) {
    return new COffscreenContext(nullptr, std::make_unique<CairoSurface>(width, height), background);
}

// What "source over" gives for one premultiplied channel onto an opaque one.
int over(int source, int alpha, int destination) {
    return source + (destination * (255 - alpha) + 127) / 255;
}

} // namespace

TEST(PngDecoding, PremultipliesEachChannelByAlphaWithAShiftAndZeroesTransparentPixels) {
    // Half-transparent pure red, a transparent pixel with colour, opaque colour.
    GuiBitmap* bitmap =
        decode(encodePng(rgbaImage(3, 1, {255, 0, 0, 128, 10, 20, 30, 0, 200, 100, 50, 255})));
    ASSERT_EQ(bitmap->getWidth(), 3);
    ASSERT_EQ(bitmap->getHeight(), 1);
    EXPECT_TRUE(bitmap->hasAlpha());
    EXPECT_TRUE(bitmap->isDecoded());
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(128, 127, 0, 0));
    EXPECT_EQ(bitmap->pixelAt(1, 0), 0u);
    // (c x 255) >> 8 takes one off even for opaque pixels.
    EXPECT_EQ(bitmap->pixelAt(2, 0), argb(255, 199, 99, 49));
    bitmap->release();
}

TEST(PngDecoding, RowsComeOutUprightAndChannelsInPlace) {
    GuiBitmap* bitmap =
        decode(encodePng(rgbaImage(2, 2,
                                   {255, 0, 0, 255, 0, 255, 0, 255,       // top: red green
                                    0, 0, 255, 255, 255, 255, 0, 255}))); // bottom: blue yellow
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 254, 0, 0));
    EXPECT_EQ(bitmap->pixelAt(1, 0), argb(255, 0, 254, 0));
    EXPECT_EQ(bitmap->pixelAt(0, 1), argb(255, 0, 0, 254));
    EXPECT_EQ(bitmap->pixelAt(1, 1), argb(255, 254, 254, 0));
    bitmap->release();
}

TEST(PngDecoding, ColourTypesWithoutAlphaGetAnOpaqueFiller) {
    PngRecipe rgb;
    rgb.width = 1;
    rgb.colourType = PNG_COLOR_TYPE_RGB;
    rgb.rows = {{200, 100, 50}};
    GuiBitmap* bitmap = decode(encodePng(rgb));
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 199, 99, 49));
    bitmap->release();

    PngRecipe palette;
    palette.width = 2;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.paletteRgb = {0, 0, 255, 255, 255, 0};
    palette.rows = {{1, 0}};
    bitmap = decode(encodePng(palette));
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 254, 254, 0));
    EXPECT_EQ(bitmap->pixelAt(1, 0), argb(255, 0, 0, 254));
    bitmap->release();
}

TEST(PngDecoding, TransparencyChunkBecomesAlpha) {
    PngRecipe palette;
    palette.width = 3;
    palette.colourType = PNG_COLOR_TYPE_PALETTE;
    palette.paletteRgb = {255, 0, 0, 0, 255, 0, 0, 0, 255};
    palette.transparency = {255, 0, 128};
    palette.rows = {{0, 1, 2}};
    GuiBitmap* bitmap = decode(encodePng(palette));
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 254, 0, 0));
    EXPECT_EQ(bitmap->pixelAt(1, 0), 0u);
    EXPECT_EQ(bitmap->pixelAt(2, 0), argb(128, 0, 0, 127));
    bitmap->release();

    // A grey key colour: that grey is transparent, the rest opaque.
    PngRecipe grey;
    grey.width = 2;
    grey.colourType = PNG_COLOR_TYPE_GRAY;
    grey.transparency = {0, 0};
    grey.rows = {{0, 255}};
    bitmap = decode(encodePng(grey));
    EXPECT_EQ(bitmap->pixelAt(0, 0), 0u);
    EXPECT_EQ(bitmap->pixelAt(1, 0), argb(255, 254, 254, 254));
    bitmap->release();
}

TEST(PngDecoding, GreyImagesExpandToColourAtEveryDepth) {
    // One bit per pixel, packed: 1 0 1 1 0 0 0 0.
    PngRecipe oneBit;
    oneBit.width = 4;
    oneBit.colourType = PNG_COLOR_TYPE_GRAY;
    oneBit.bitDepth = 1;
    oneBit.rows = {{0xB0}};
    GuiBitmap* bitmap = decode(encodePng(oneBit));
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 254, 254, 254));
    EXPECT_EQ(bitmap->pixelAt(1, 0), argb(255, 0, 0, 0));
    EXPECT_EQ(bitmap->pixelAt(2, 0), argb(255, 254, 254, 254));
    EXPECT_EQ(bitmap->pixelAt(3, 0), argb(255, 254, 254, 254));
    bitmap->release();

    PngRecipe greyAlpha;
    greyAlpha.width = 1;
    greyAlpha.colourType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.rows = {{200, 128}};
    bitmap = decode(encodePng(greyAlpha));
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(128, 100, 100, 100));
    bitmap->release();
}

TEST(PngDecoding, SixteenBitChannelsAreReducedToEight) {
    PngRecipe deep;
    deep.width = 1;
    deep.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    deep.bitDepth = 16;
    deep.rows = {{0xFF, 0xFF, 0x00, 0x10, 0x40, 0x00, 0x80, 0x00}};
    GuiBitmap* bitmap = decode(encodePng(deep));
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(128, 127, 0, 32));
    bitmap->release();
}

TEST(PngDecoding, InterlacedImagesDecodeLikePlainOnes) {
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < 7 * 5; ++i) {
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i), 9,
                                 static_cast<std::uint8_t>(40 + i * 6)});
    }
    PngRecipe plain = rgbaImage(7, 5, rgba);
    PngRecipe interlaced = plain;
    interlaced.interlaced = true;
    GuiBitmap* a = decode(encodePng(plain));
    GuiBitmap* b = decode(encodePng(interlaced));
    ASSERT_EQ(b->getWidth(), 7);
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            EXPECT_EQ(a->pixelAt(x, y), b->pixelAt(x, y)) << x << "," << y;
        }
    }
    a->release();
    b->release();
}

TEST(PngDecoding, AnImageThatFailsGivesAnEmptyBitmapOfTheHeaderSize) {
    std::vector<std::uint8_t> rgba(16 * 16 * 4, 200);
    std::vector<std::uint8_t> bytes = encodePng(rgbaImage(16, 16, rgba));
    // Cut inside the image data: the header is whole, the pixels are not.
    bytes.resize(60);
    GuiBitmap* bitmap = decode(bytes);
    EXPECT_EQ(bitmap->getWidth(), 16);
    EXPECT_EQ(bitmap->getHeight(), 16);
    EXPECT_FALSE(bitmap->isDecoded());
    EXPECT_TRUE(bitmap->hasAlpha());
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            ASSERT_EQ(bitmap->pixelAt(x, y), 0u);
        }
    }
    bitmap->release();
}

TEST(PngDecoding, DamagedBytesNeverCrash) {
    std::vector<std::uint8_t> good = encodePng(rgbaImage(4, 4, std::vector<std::uint8_t>(64, 90)));
    GuiBitmap* none = GuiBitmap::fromPng(nullptr, 0);
    EXPECT_EQ(none->getWidth(), 0);
    none->release();
    std::vector<std::uint8_t> garbage(100, 0x5A);
    GuiBitmap* junk = decode(garbage);
    EXPECT_EQ(junk->getWidth(), 0);
    EXPECT_EQ(junk->getHeight(), 0);
    junk->release();
    // Every single-byte corruption and every truncation decodes or fails cleanly.
    std::srand(7);
    for (std::size_t i = 0; i < good.size(); ++i) {
        std::vector<std::uint8_t> bad = good;
        bad[i] ^= static_cast<std::uint8_t>(1 + std::rand() % 255);
        GuiBitmap* b = decode(bad);
        EXPECT_LE(b->getWidth(), kMaxPngSide);
        b->release();
        std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(i));
        b = decode(cut);
        b->release();
    }
}

TEST(PngDecoding, ImagesBeyondTheSideLimitAreRefused) {
    PngRecipe wide;
    wide.width = kMaxPngSide + 1;
    wide.colourType = PNG_COLOR_TYPE_GRAY;
    wide.rows = {std::vector<std::uint8_t>(static_cast<std::size_t>(kMaxPngSide + 1), 0)};
    GuiBitmap* bitmap = decode(encodePng(wide));
    EXPECT_EQ(bitmap->getWidth(), 0);
    EXPECT_FALSE(bitmap->isDecoded());
    bitmap->release();
}

TEST(Resources, BitmapsAreLoadedByRegisteredId) {
    static const std::vector<std::uint8_t> bytes = encodePng(rgbaImage(2, 1, {0, 0, 255, 255, 0, 0, 0, 0}));
    registerGuiResource(4321, bytes.data(), bytes.size());
    auto* bitmap = new GuiBitmap(4321);
    EXPECT_EQ(bitmap->getWidth(), 2);
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 0, 0, 254));
    bitmap->release();
    unregisterGuiResource(4321);

    auto* missing = new GuiBitmap(4321);
    EXPECT_EQ(missing->getWidth(), 0);
    EXPECT_FALSE(missing->hasAlpha());
    missing->release();
}

// tests/gui/data/corner.png is compiled into this test binary as resource 900
// by the build's embedding helper: 2 x 2, opaque red, half-transparent green,
// transparent, opaque white.
TEST(Resources, EmbeddedFilesAreRegisteredWhenTheBinaryLoads) {
    auto* bitmap = new GuiBitmap(900);
    ASSERT_EQ(bitmap->getWidth(), 2);
    ASSERT_EQ(bitmap->getHeight(), 2);
    EXPECT_EQ(bitmap->pixelAt(0, 0), argb(255, 254, 0, 0));
    EXPECT_EQ(bitmap->pixelAt(1, 0), argb(128, 0, 127, 0));
    EXPECT_EQ(bitmap->pixelAt(0, 1), 0u);
    EXPECT_EQ(bitmap->pixelAt(1, 1), argb(255, 254, 254, 254));
    bitmap->release();
}

TEST(BitmapDrawing, AlphaPixelsCompositeOverTheTarget) {
    COffscreenContext* target = canvas(4, 1, CColor{255, 255, 255, 255});
    GuiBitmap* bitmap = decode(encodePng(rgbaImage(2, 1, {255, 0, 0, 128, 0, 0, 255, 0})));
    bitmap->draw(target, CRect(1, 0, 3, 1));
    std::uint32_t blended = target->pixelAt(1, 0);
    EXPECT_EQ(alphaOf(blended), 255u);
    EXPECT_NEAR(redOf(blended), over(127, 128, 255), 1);
    EXPECT_NEAR(greenOf(blended), over(0, 128, 255), 1);
    EXPECT_NEAR(blueOf(blended), over(0, 128, 255), 1);
    // The transparent pixel leaves the white exactly as it was, and so do the
    // pixels outside the destination.
    EXPECT_EQ(target->pixelAt(2, 0), argb(255, 255, 255, 255));
    EXPECT_EQ(target->pixelAt(0, 0), argb(255, 255, 255, 255));
    EXPECT_EQ(target->pixelAt(3, 0), argb(255, 255, 255, 255));
    bitmap->release();
    target->release();
}

TEST(BitmapDrawing, SourceOffsetPicksThePartShownAndTheRestIsNotTouched) {
    COffscreenContext* target = canvas(3, 3, CColor{0, 0, 0, 255});
    GuiBitmap* bitmap = decode(encodePng(rgbaImage(1, 2, {255, 0, 0, 255, 0, 255, 0, 255})));
    // Source offset (0, 1): the green lower pixel; the destination is larger
    // than what the source has left.
    bitmap->draw(target, CRect(1, 1, 3, 3), CPoint(0, 1));
    EXPECT_EQ(target->pixelAt(1, 1), argb(255, 0, 254, 0));
    EXPECT_EQ(target->pixelAt(2, 1), argb(255, 0, 0, 0));
    EXPECT_EQ(target->pixelAt(1, 2), argb(255, 0, 0, 0));
    bitmap->release();
    target->release();
}

TEST(BitmapDrawing, BitmapsWithoutAlphaCopyOrKeyOutTheirTransparentColour) {
    const std::uint32_t rgb[3] = {0xFF00FF, 0x102030, 0xFF00FF};
    GuiBitmap* bitmap = GuiBitmap::fromRgb(3, 1, rgb);
    EXPECT_FALSE(bitmap->hasAlpha());
    bitmap->setTransparentColor(CColor{255, 0, 255, 0});

    COffscreenContext* copied = canvas(3, 1, CColor{9, 9, 9, 255});
    bitmap->draw(copied, CRect(0, 0, 3, 1));
    EXPECT_EQ(copied->pixelAt(0, 0), argb(255, 255, 0, 255));
    EXPECT_EQ(copied->pixelAt(1, 0), argb(255, 0x10, 0x20, 0x30));

    COffscreenContext* keyed = canvas(3, 1, CColor{9, 9, 9, 255});
    bitmap->drawTransparent(keyed, CRect(0, 0, 3, 1));
    EXPECT_EQ(keyed->pixelAt(0, 0), argb(255, 9, 9, 9));
    EXPECT_EQ(keyed->pixelAt(1, 0), argb(255, 0x10, 0x20, 0x30));
    EXPECT_EQ(keyed->pixelAt(2, 0), argb(255, 9, 9, 9));

    copied->release();
    keyed->release();
    bitmap->release();
}

TEST(BitmapDrawing, DrawingGoesThroughTheContextOffsetAndClip) {
    COffscreenContext* target = canvas(4, 4, CColor{0, 0, 0, 255});
    GuiBitmap* bitmap = decode(encodePng(rgbaImage(2, 2, std::vector<std::uint8_t>(16, 255))));
    target->setOffset(CPoint(1, 1));
    target->setClipRect(CRect(0, 0, 1, 2)); // surface pixels (1,1)..(1,2)
    bitmap->draw(target, CRect(0, 0, 2, 2));
    EXPECT_EQ(target->pixelAt(1, 1), argb(255, 254, 254, 254));
    EXPECT_EQ(target->pixelAt(1, 2), argb(255, 254, 254, 254));
    EXPECT_EQ(target->pixelAt(2, 1), argb(255, 0, 0, 0)); // clipped
    EXPECT_EQ(target->pixelAt(0, 0), argb(255, 0, 0, 0));
    bitmap->release();
    target->release();
}
