#pragma once

// Where the Cairo surface gets its font faces from: fontconfig on Linux, the
// Win32 font system on Windows (one source each, chosen by the build). The
// surface caches what these return and owns the faces.

#include <cairo.h>

#include <mutex>
#include <string>

struct PlatformFontFace {
    cairo_font_face_t* face = nullptr; // null when the platform has none for the request
    std::string family;                // the family actually found, when the platform tells
};

// [any thread; callers serialise] A face for the family in the given style.
PlatformFontFace createPlatformFontFace(const std::string& family, bool bold, bool italic);

// [any thread] Held while text is measured or drawn. Empty where the font
// system is safe on several threads at once.
std::unique_lock<std::mutex> lockPlatformText();

// [any thread] Makes the process's first Cairo call once, whichever thread
// comes first, where Cairo cannot make it safely on several threads at once.
void prepareCairo();
