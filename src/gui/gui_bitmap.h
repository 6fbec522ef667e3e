#pragma once

// Bitmaps: PNG images compiled into the module and looked up by resource id,
// decoded once into 32-bit pixels with premultiplied alpha and composited
// with per-pixel alpha. A bitmap without alpha is copied, or drawn with its
// transparent colour as a colour key.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gui/fonts.h"
#include "gui/gui_types.h"
#include "gui/platform.h"

class CDrawContext;

// The module's image resources: PNG bytes by id. The composition root (or a
// generated source, see the build's resource helper) registers them before the
// first bitmap is loaded; the bytes must stay valid for the module's life.
// Registering an id again replaces it.
// [as the module loads, or ui thread while no bitmap is being made] The table
// has no lock: changes must not meet lookups.
void registerGuiResource(std::int32_t id, const unsigned char* data, std::size_t size);
void unregisterGuiResource(std::int32_t id);
// [ui thread; any state]
bool findGuiResource(std::int32_t id, const unsigned char** data, std::size_t* size);

// [ui thread; any state]
class GuiBitmap : public CBaseObject {
public:
    // The PNG resource with this id; without one, an empty bitmap without alpha.
    explicit GuiBitmap(std::int32_t resourceId);
    // A blank (transparent) bitmap with alpha.
    GuiBitmap(std::int32_t width, std::int32_t height);

    // Decodes PNG bytes. Never fails: an image that cannot be decoded gives a
    // transparent bitmap of the size its header gave (0 x 0 without a header).
    static GuiBitmap* fromPng(const unsigned char* data, std::size_t size);
    // Opaque pixels 0x00RRGGBB without alpha, drawn by copy or colour key.
    static GuiBitmap* fromRgb(std::int32_t width, std::int32_t height, const std::uint32_t* rgb);

    std::int32_t getWidth() const { return width; }
    std::int32_t getHeight() const { return height; }
    bool hasAlpha() const { return !noAlpha; }
    // False when a PNG could not be decoded completely.
    bool isDecoded() const { return decoded; }

    void setTransparentColor(CColor colour);
    CColor getTransparentColor() const { return transparentColor; }

    // Draws dest's size of the bitmap from `offset` at dest: composited with
    // alpha, or copied for a bitmap without alpha.
    void draw(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(0, 0));
    // The same for alpha bitmaps; bitmaps without alpha leave out pixels of
    // the transparent colour.
    void drawTransparent(CDrawContext* context, const CRect& dest, const CPoint& offset = CPoint(0, 0));

    GuiPixels pixels() const;
    // 0xAARRGGBB, premultiplied; 0 outside the bitmap.
    std::uint32_t pixelAt(std::int32_t x, std::int32_t y) const;
    std::uint32_t* mutablePixels() { return data.data(); }

protected:
    ~GuiBitmap() override = default;

private:
    GuiBitmap() = default;
    void loadPng(const unsigned char* bytes, std::size_t size);
    const std::vector<std::uint32_t>& keyedPixels();

    std::int32_t width = 0;
    std::int32_t height = 0;
    CColor transparentColor = kTransparentCColor;
    bool noAlpha = false;
    bool decoded = true;
    std::vector<std::uint32_t> data;
    std::vector<std::uint32_t> keyed; // colour-keyed copy for bitmaps without alpha
    bool keyedValid = false;
};

// Decodes PNG bytes into premultiplied 0xAARRGGBB pixels, rows top-down.
// width and height are set as soon as the header is read; false on any
// decoding error (then the pixels are all zero). Refuses images wider or
// taller than kMaxPngSide.
inline constexpr std::int32_t kMaxPngSide = 4096;
// [any thread] It keeps no state between calls.
bool decodePng(const unsigned char* bytes, std::size_t size, std::int32_t& width, std::int32_t& height,
               std::vector<std::uint32_t>& pixels);
