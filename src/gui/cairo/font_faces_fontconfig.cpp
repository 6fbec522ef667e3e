// Font faces from fontconfig: the family is matched as fontconfig's
// configuration says ("Arial" to a metric-compatible face such as Liberation
// Sans), and Cairo draws the match through FreeType.

#include <cairo-ft.h>
#include <fontconfig/fontconfig.h>

#include "gui/cairo/font_faces.h"

PlatformFontFace createPlatformFontFace(const std::string& family, bool bold, bool italic) {
    PlatformFontFace resolved;
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (match != nullptr) {
        FcChar8* found = nullptr;
        if (FcPatternGetString(match, FC_FAMILY, 0, &found) == FcResultMatch && found != nullptr) {
            resolved.family = reinterpret_cast<const char*>(found);
        }
        resolved.face = cairo_ft_font_face_create_for_pattern(match);
        FcPatternDestroy(match);
    }
    return resolved;
}

// FreeType faces made by cairo-ft carry locks of their own.
std::unique_lock<std::mutex> lockPlatformText() {
    return {};
}

// Cairo's locks are set up statically with POSIX threads.
void prepareCairo() {}
