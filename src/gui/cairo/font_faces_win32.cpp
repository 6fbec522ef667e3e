// Font faces from the Win32 font system: GDI matches the family as Windows
// does ("Arial" is Arial; Wine substitutes a metric-compatible face such as
// Liberation Sans), and Cairo's Win32 font backend draws it.

#include <windows.h>

#include <cairo-win32.h>

#include "gui/cairo/font_faces.h"

namespace {

LOGFONTW logFontFor(const std::string& family, bool bold, bool italic) {
    LOGFONTW font{};
    font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    font.lfItalic = italic ? TRUE : FALSE;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_TT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = ANTIALIASED_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    // The name ends within the field: a longer one is cut, as GDI would.
    MultiByteToWideChar(CP_UTF8, 0, family.c_str(), -1, font.lfFaceName, LF_FACESIZE - 1);
    return font;
}

// The face GDI actually picks for the request, in UTF-8; empty when it cannot tell.
std::string matchedFamily(const LOGFONTW& request) {
    std::string family;
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectW(&request);
    if (dc != nullptr && font != nullptr) {
        HGDIOBJ previous = SelectObject(dc, font);
        wchar_t name[LF_FACESIZE] = {};
        if (GetTextFaceW(dc, LF_FACESIZE, name) > 0) {
            char utf8[4 * LF_FACESIZE] = {};
            if (WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr) > 0) {
                family = utf8;
            }
        }
        SelectObject(dc, previous);
    }
    if (font != nullptr) {
        DeleteObject(font);
    }
    if (dc != nullptr) {
        DeleteDC(dc);
    }
    return family;
}

// Cairo's Win32 fonts measure and render through one memory device context
// shared by all its faces, without a lock of their own.
std::mutex textMutex;

} // namespace

PlatformFontFace createPlatformFontFace(const std::string& family, bool bold, bool italic) {
    LOGFONTW request = logFontFor(family, bold, italic);
    PlatformFontFace resolved;
    resolved.family = matchedFamily(request);
    resolved.face = cairo_win32_font_face_create_for_logfontw(&request);
    if (cairo_font_face_status(resolved.face) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(resolved.face);
        resolved.face = nullptr;
    }
    return resolved;
}

std::unique_lock<std::mutex> lockPlatformText() {
    return std::unique_lock<std::mutex>(textMutex);
}

// Statically linked, Cairo has no DllMain to set its locks up at load: the
// first call that needs them does, and two threads making it at once would
// both. A C++ static is initialised once, the other threads waiting.
void prepareCairo() {
    static const bool prepared = [] {
        cairo_surface_destroy(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
        return true;
    }();
    (void)prepared;
}
