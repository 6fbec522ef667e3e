#include "gui/cairo/cairo_surface.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

#include "gui/cairo/font_faces.h"

namespace {

// ---------------------------------------------------------------- fonts

struct FontKey {
    std::string family;
    bool bold;
    bool italic;
    bool operator<(const FontKey& other) const {
        return std::tie(family, bold, italic) < std::tie(other.family, other.bold, other.italic);
    }
};

struct ResolvedFont {
    cairo_font_face_t* face = nullptr;
    std::string family;
};

// Faces are resolved once per family and style and kept for the module's
// life; several editors may ask from different threads.
std::mutex fontMutex;

std::map<FontKey, ResolvedFont>& fontCache() {
    static std::map<FontKey, ResolvedFont> cache;
    return cache;
}

const ResolvedFont& resolveFont(const GuiFont& font) {
    FontKey key{font.family != nullptr ? font.family : "Arial", font.bold, font.italic};
    std::lock_guard<std::mutex> lock(fontMutex);
    auto& cache = fontCache();
    auto it = cache.find(key);
    if (it != cache.end()) {
        return it->second;
    }
    prepareCairo();
    PlatformFontFace found = createPlatformFontFace(key.family, key.bold, key.italic);
    ResolvedFont resolved{found.face, found.family};
    if (resolved.face == nullptr) {
        resolved.face = cairo_toy_font_face_create(
            key.family.c_str(), key.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
            key.bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        resolved.family = key.family;
    }
    return cache.emplace(key, resolved).first->second;
}

// ---------------------------------------------------------------- text

// Letters of the symbol character set: A..Z then a..z.
constexpr char32_t kSymbolUpper[26] = {0x391, 0x392, 0x3A7, 0x394, 0x395, 0x3A6, 0x393, 0x397, 0x399,
                                       0x3D1, 0x39A, 0x39B, 0x39C, 0x39D, 0x39F, 0x3A0, 0x398, 0x3A1,
                                       0x3A3, 0x3A4, 0x3A5, 0x3C2, 0x3A9, 0x39E, 0x3A8, 0x396};
constexpr char32_t kSymbolLower[26] = {0x3B1, 0x3B2, 0x3C7, 0x3B4, 0x3B5, 0x3C6, 0x3B3, 0x3B7, 0x3B9,
                                       0x3D5, 0x3BA, 0x3BB, 0x3BC, 0x3BD, 0x3BF, 0x3C0, 0x3B8, 0x3C1,
                                       0x3C3, 0x3C4, 0x3C5, 0x3D6, 0x3C9, 0x3BE, 0x3C8, 0x3B6};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool isValidUtf8(const unsigned char* s) {
    while (*s != 0) {
        unsigned char c = *s;
        int follow = c < 0x80 ? 0 : (c >> 5) == 0x6 ? 1 : (c >> 4) == 0xE ? 2 : (c >> 3) == 0x1E ? 3 : -1;
        if (follow < 0) {
            return false;
        }
        ++s;
        for (int i = 0; i < follow; ++i, ++s) {
            if ((*s & 0xC0) != 0x80) {
                return false;
            }
        }
    }
    return true;
}

cairo_font_options_t* textOptions() {
    static cairo_font_options_t* options = [] {
        cairo_font_options_t* o = cairo_font_options_create();
        cairo_font_options_set_antialias(o, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_ON);
        return o;
    }();
    return options;
}

} // namespace

std::string resolvedFontFamily(const GuiFont& font) {
    return resolveFont(font).family;
}

void releaseCachedFonts() {
    std::lock_guard<std::mutex> lock(fontMutex);
    for (auto& entry : fontCache()) {
        cairo_font_face_destroy(entry.second.face);
    }
    fontCache().clear();
}

std::string toDisplayUtf8(const char* text, bool symbol) {
    std::string out;
    if (text == nullptr) {
        return out;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (!symbol && isValidUtf8(bytes)) {
        return std::string(text);
    }
    for (const unsigned char* s = bytes; *s != 0; ++s) {
        char32_t c = *s;
        if (symbol && c >= 'A' && c <= 'Z') {
            c = kSymbolUpper[c - 'A'];
        } else if (symbol && c >= 'a' && c <= 'z') {
            c = kSymbolLower[c - 'a'];
        }
        appendUtf8(out, c);
    }
    return out;
}

// ---------------------------------------------------------------- CairoSurface

std::unique_ptr<GuiSurface> makeCairoSurface(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    return std::make_unique<CairoSurface>(width, height);
}

CairoSurface::CairoSurface(std::int32_t width_, std::int32_t height_)
    : surfaceWidth(std::max(width_, 1)), surfaceHeight(std::max(height_, 1)) {
    prepareCairo();
    surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, surfaceWidth, surfaceHeight);
    cr = cairo_create(surface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_font_options(cr, textOptions());
}

CairoSurface::~CairoSurface() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

void CairoSurface::setColour(CColor colour) {
    cairo_set_source_rgb(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0);
}

void CairoSurface::setClip(const CRect& clip) {
    cairo_reset_clip(cr);
    CRect r = clip;
    r.bound(CRect(0, 0, surfaceWidth, surfaceHeight));
    cairo_rectangle(cr, r.left, r.top, r.width(), r.height());
    cairo_clip(cr);
}

void CairoSurface::fillRect(const CRect& rect, CColor colour) {
    if (rect.isEmpty()) {
        return;
    }
    setColour(colour);
    cairo_rectangle(cr, rect.left, rect.top, rect.width(), rect.height());
    cairo_fill(cr);
}

void CairoSurface::frameRect(const CRect& rect, CColor colour, std::int32_t lineWidth) {
    if (rect.isEmpty()) {
        return;
    }
    std::int32_t w = std::max(lineWidth, 1);
    fillRect(CRect(rect.left, rect.top, rect.right, std::min(rect.top + w, rect.bottom)), colour);
    fillRect(CRect(rect.left, std::max(rect.bottom - w, rect.top), rect.right, rect.bottom), colour);
    fillRect(CRect(rect.left, rect.top, std::min(rect.left + w, rect.right), rect.bottom), colour);
    fillRect(CRect(std::max(rect.right - w, rect.left), rect.top, rect.right, rect.bottom), colour);
}

// Horizontal and vertical lines are exact pixel runs (start included, end
// left out); other lines are stroked between pixel centres.
void CairoSurface::drawLine(CPoint from, CPoint to, CColor colour, std::int32_t lineWidth,
                            GuiLineStyle style) {
    std::int32_t w = std::max(lineWidth, 1);
    if (style == GuiLineStyle::solid && (from.v == to.v || from.h == to.h)) {
        if (from == to) {
            return;
        }
        std::int32_t before = (w - 1) / 2;
        if (from.v == to.v) {
            std::int32_t a = from.h < to.h ? from.h : to.h + 1;
            std::int32_t b = from.h < to.h ? to.h : from.h + 1;
            fillRect(CRect(a, from.v - before, b, from.v - before + w), colour);
        } else {
            std::int32_t a = from.v < to.v ? from.v : to.v + 1;
            std::int32_t b = from.v < to.v ? to.v : from.v + 1;
            fillRect(CRect(from.h - before, a, from.h - before + w, b), colour);
        }
        return;
    }
    cairo_save(cr);
    setColour(colour);
    cairo_set_line_width(cr, w);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
    if (style == GuiLineStyle::onOff) {
        const double dashes[] = {1.0, 1.0};
        cairo_set_dash(cr, dashes, 2, 0.0);
    }
    cairo_move_to(cr, from.h + 0.5, from.v + 0.5);
    cairo_line_to(cr, to.h + 0.5, to.v + 0.5);
    cairo_stroke(cr);
    cairo_restore(cr);
}

void CairoSurface::fillEllipse(const CRect& rect, CColor colour) {
    if (rect.isEmpty()) {
        return;
    }
    cairo_save(cr);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_DEFAULT);
    setColour(colour);
    cairo_translate(cr, rect.left + rect.width() / 2.0, rect.top + rect.height() / 2.0);
    cairo_scale(cr, rect.width() / 2.0, rect.height() / 2.0);
    cairo_arc(cr, 0.0, 0.0, 1.0, 0.0, 2.0 * M_PI);
    cairo_fill(cr);
    cairo_restore(cr);
}

void CairoSurface::selectFont(const GuiFont& font) {
    cairo_set_font_face(cr, resolveFont(font).face);
    cairo_set_font_size(cr, font.pixelHeight);
}

std::int32_t CairoSurface::textWidth(const char* text, const GuiFont& font) {
    if (text == nullptr || text[0] == 0) {
        return 0;
    }
    auto textLock = lockPlatformText();
    selectFont(font);
    std::string utf8 = toDisplayUtf8(text, font.symbol);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, utf8.c_str(), &extents);
    return static_cast<std::int32_t>(std::lround(extents.x_advance));
}

void CairoSurface::drawText(const char* text, const CRect& rect, const GuiFont& font, CColor colour,
                            std::int32_t align, const CColor* background) {
    if (text == nullptr || text[0] == 0) {
        return;
    }
    auto textLock = lockPlatformText();
    selectFont(font);
    std::string utf8 = toDisplayUtf8(text, font.symbol);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, utf8.c_str(), &extents);
    cairo_font_extents_t fontExtents;
    cairo_font_extents(cr, &fontExtents);
    double advance = std::round(extents.x_advance);
    double x;
    switch (align) {
    case 0:
        x = rect.left + 1;
        break;
    case 2:
        x = rect.right - advance;
        break;
    default:
        x = rect.left + std::floor((rect.width() - advance) / 2.0);
        break;
    }
    double lineHeight = fontExtents.ascent + fontExtents.descent;
    double baseline = std::round(rect.top + (rect.height() - lineHeight) / 2.0 + fontExtents.ascent);
    if (background != nullptr) {
        fillRect(CRect(static_cast<std::int32_t>(x), static_cast<std::int32_t>(baseline - fontExtents.ascent),
                       static_cast<std::int32_t>(x + advance),
                       static_cast<std::int32_t>(std::ceil(baseline + fontExtents.descent))),
                 *background);
    }
    setColour(colour);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, utf8.c_str());
    cairo_new_path(cr);
    if (font.underline) {
        std::int32_t y = static_cast<std::int32_t>(baseline) + 1;
        fillRect(CRect(static_cast<std::int32_t>(x), y, static_cast<std::int32_t>(x + advance), y + 1),
                 colour);
    }
}

void CairoSurface::drawPixels(const GuiPixels& source, const CRect& dest, CPoint sourceOffset, bool blend) {
    if (source.data == nullptr || source.width <= 0 || source.height <= 0 || dest.isEmpty()) {
        return;
    }
    // Only the part of dest that the source covers is touched, also when
    // copying (so a copy never clears pixels beyond the image).
    CRect area = dest;
    CRect covered(dest.left - sourceOffset.h, dest.top - sourceOffset.v, 0, 0);
    covered.right = covered.left + source.width;
    covered.bottom = covered.top + source.height;
    area.bound(covered);
    if (area.isEmpty()) {
        return;
    }
    cairo_surface_t* image = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(source.data)), CAIRO_FORMAT_ARGB32,
        source.width, source.height, source.width * 4);
    cairo_save(cr);
    cairo_set_operator(cr, blend ? CAIRO_OPERATOR_OVER : CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, image, covered.left, covered.top);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);
}

void CairoSurface::copySurface(GuiSurface& source, const CRect& dest, CPoint sourceOffset) {
    auto* other = dynamic_cast<CairoSurface*>(&source);
    if (other == nullptr || dest.isEmpty()) {
        return;
    }
    other->flush();
    CRect area = dest;
    CRect covered(dest.left - sourceOffset.h, dest.top - sourceOffset.v, 0, 0);
    covered.right = covered.left + other->width();
    covered.bottom = covered.top + other->height();
    area.bound(covered);
    if (area.isEmpty()) {
        return;
    }
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, other->surface, covered.left, covered.top);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void CairoSurface::flush() {
    cairo_surface_flush(surface);
}

GuiPixels CairoSurface::pixels() {
    flush();
    return GuiPixels{reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface)),
                     surfaceWidth, surfaceHeight};
}

bool CairoSurface::writePng(const char* path) {
    flush();
    return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
}
