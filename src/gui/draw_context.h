#pragma once

// Drawing contexts. A `CDrawContext` wraps a platform surface with the
// toolkit's drawing state (pen, brush and text colours, font, clip, origin);
// a `COffscreenContext` owns its own surface, such as the frame's back buffer
// or a control's work buffer. Coordinates given to a context are relative to
// its offset (where the context's origin lies on the surface).

#include <cstdint>
#include <memory>

#include "gui/fonts.h"
#include "gui/gui_types.h"
#include "gui/platform.h"

class CFrame;

enum CHoriTxtAlign : std::int32_t {
    kLeftText = 0,
    kCenterText = 1,
    kRightText = 2,
};

// [ui thread; any state]
class CDrawContext : public CBaseObject {
public:
    // A context over `surface` (not owned); `frame` gives the window and the
    // platform for pointer queries and may be null for pure drawing.
    CDrawContext(CFrame* frame, GuiSurface* surface);

    CFrame* getFrame() const { return frame; }
    GuiSurface* getSurface() const { return surface; }

    void setOffset(CPoint newOffset);
    CPoint getOffset() const { return offset; }

    void moveTo(const CPoint& point);
    void lineTo(const CPoint& point);
    CPoint getPenPosition() const { return penPosition; }
    void drawRect(const CRect& rect);
    void fillRect(const CRect& rect);
    // Filled with the fill colour, no outline; placed one pixel right of and
    // below the rectangle's corners.
    void drawEllipse(const CRect& rect);
    void drawPoint(const CPoint& point, CColor colour);

    void setFrameColor(CColor colour) { frameColor = colour; }
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(CColor colour) { fillColor = colour; }
    CColor getFillColor() const { return fillColor; }
    void setFontColor(CColor colour) { fontColor = colour; }
    CColor getFontColor() const { return fontColor; }
    void setLineWidth(std::int32_t width) { lineWidth = width < 1 ? 1 : width; }
    std::int32_t getLineWidth() const { return lineWidth; }
    void setLineStyle(GuiLineStyle style) { lineStyle = style; }
    GuiLineStyle getLineStyle() const { return lineStyle; }

    // size 0 means the font table's height for the id.
    void setFont(std::int32_t fontId, std::int32_t size = 0, std::int32_t txtFace = 0);
    std::int32_t getFontId() const { return fontId; }
    std::int32_t getFontSize() const { return font.pixelHeight; }
    const GuiFont& getFont() const { return font; }
    std::int32_t getStringWidth(const char* text);
    // One line, vertically centred: left (one pixel in), centre or right.
    // `opaque` fills the text cell with the fill colour first.
    void drawString(const char* text, const CRect& rect, bool opaque = false,
                    std::int32_t align = kCenterText);

    // The clip in context coordinates; setting it intersects with the surface.
    void getClipRect(CRect& clip) const;
    void setClipRect(const CRect& clip);
    void resetClipRect();

    // [ui thread, frame open] Button and modifier bits now (kLButton ...
    // kApple); 0 without a frame.
    std::int32_t getMouseButtons();
    // The pointer in the frame window's pixels; unchanged without a frame.
    void getMouseLocation(CPoint& point);

protected:
    ~CDrawContext() override = default;
    void setSurface(GuiSurface* newSurface);

    CFrame* frame;
    GuiSurface* surface;

private:
    CRect toSurface(const CRect& rect) const;
    void applyClip();

    CPoint offset;
    CRect clipOnSurface;
    CPoint penPosition;
    std::int32_t fontId = kSystemFont;
    GuiFont font;
    CColor frameColor = kWhiteCColor;
    std::int32_t lineWidth = 1;
    GuiLineStyle lineStyle = GuiLineStyle::solid;
    CColor fillColor = kBlackCColor;
    CColor fontColor = kWhiteCColor;
};

// A drawing context over a surface of its own, cleared to a background colour
// at creation (fill, then an outline in the same colour).
// [ui thread; any state]
class COffscreenContext : public CDrawContext {
public:
    COffscreenContext(CFrame* frame, std::int32_t width, std::int32_t height,
                      CColor background = kBlackCColor);
    // Over a surface the caller made (tests, renderers); takes ownership.
    COffscreenContext(CFrame* frame, std::unique_ptr<GuiSurface> ownSurface, CColor background);

    std::int32_t getWidth() const { return width; }
    std::int32_t getHeight() const { return height; }
    bool isValid() const { return surface != nullptr; }

    // Copies `destRect`'s size of pixels from `sourceOffset` in this buffer to
    // `destRect` in `dest` (in dest's coordinates), without blending.
    void copyFrom(CDrawContext* dest, const CRect& destRect, CPoint sourceOffset = CPoint(0, 0));

    // One pixel as 0xAARRGGBB (premultiplied), for tests and snapshots.
    std::uint32_t pixelAt(std::int32_t x, std::int32_t y);

protected:
    ~COffscreenContext() override;

private:
    void clear(CColor background);

    std::unique_ptr<GuiSurface> ownedSurface;
    std::int32_t width;
    std::int32_t height;
};
