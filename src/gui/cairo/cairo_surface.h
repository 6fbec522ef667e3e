#pragma once

// The toolkit's drawing surface on Cairo image surfaces (ARGB32 with
// premultiplied alpha, the toolkit's own pixel model). Shared by the X11
// backend (back buffers, menu canvases) and the headless one. Lines, rectangles
// and fills are drawn without antialiasing so that they land on whole pixels as
// the toolkit's coordinates mean them; text is antialiased.

#include <cairo.h>

#include <memory>
#include <string>

#include "gui/platform.h"

// [ui thread; any state] Editors on different UI threads may draw at once:
// the fonts they share are looked up under a lock.
class CairoSurface final : public GuiSurface {
public:
    CairoSurface(std::int32_t width, std::int32_t height);
    ~CairoSurface() override;
    CairoSurface(const CairoSurface&) = delete;
    CairoSurface& operator=(const CairoSurface&) = delete;

    std::int32_t width() const override { return surfaceWidth; }
    std::int32_t height() const override { return surfaceHeight; }
    void setClip(const CRect& clip) override;
    void drawLine(CPoint from, CPoint to, CColor colour, std::int32_t lineWidth, GuiLineStyle style) override;
    void frameRect(const CRect& rect, CColor colour, std::int32_t lineWidth) override;
    void fillRect(const CRect& rect, CColor colour) override;
    void fillEllipse(const CRect& rect, CColor colour) override;
    std::int32_t textWidth(const char* text, const GuiFont& font) override;
    void drawText(const char* text, const CRect& rect, const GuiFont& font, CColor colour, std::int32_t align,
                  const CColor* background) override;
    void drawPixels(const GuiPixels& source, const CRect& dest, CPoint sourceOffset, bool blend) override;
    void copySurface(GuiSurface& source, const CRect& dest, CPoint sourceOffset) override;
    void flush() override;
    GuiPixels pixels() override;

    cairo_surface_t* cairoSurface() const { return surface; }
    // Writes the surface as a PNG file; false on failure.
    bool writePng(const char* path);

private:
    void setColour(CColor colour);
    void selectFont(const GuiFont& font);

    std::int32_t surfaceWidth;
    std::int32_t surfaceHeight;
    cairo_surface_t* surface;
    cairo_t* cr;
};

// [ui thread; any state] A surface for a platform's createSurface: none for
// an empty size.
std::unique_ptr<GuiSurface> makeCairoSurface(std::int32_t width, std::int32_t height);

// [any thread] The face the platform's font system picks for a toolkit font
// ("Arial" should come out as Arial or a metric-compatible face such as
// Liberation Sans), e.g. for tests.
std::string resolvedFontFamily(const GuiFont& font);
// [any thread, while no editor of the module is open] Releases the faces
// resolved so far (they are made again when next needed). For programs that
// shut the font libraries down before they exit, such as tests under a leak
// checker, and for the module when its last editor closes.
void releaseCachedFonts();
// [any thread] The text as UTF-8 for Cairo: valid UTF-8 is kept, other bytes
// are taken as Latin-1; with `symbol`, letters map to the Greek of the symbol
// character set.
std::string toDisplayUtf8(const char* text, bool symbol);
