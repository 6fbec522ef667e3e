#pragma once

// Fonts and colours: the toolkit's eight-entry font table and its constant
// colours. A font is named by id; the drawing context turns an id, a size and
// the text-face bits into a `GuiFont` that a platform can render.

#include <cstdint>

#include "gui/gui_types.h"

inline constexpr CColor kWhiteCColor{255, 255, 255, 255};
inline constexpr CColor kBlackCColor{0, 0, 0, 255};
inline constexpr CColor kGreyCColor{127, 127, 127, 255};
inline constexpr CColor kRedCColor{255, 0, 0, 255};
inline constexpr CColor kGreenCColor{0, 255, 0, 255};
inline constexpr CColor kBlueCColor{0, 0, 255, 255};
inline constexpr CColor kYellowCColor{255, 255, 0, 255};
// A bitmap's default transparent colour.
inline constexpr CColor kTransparentCColor{255, 255, 255, 0};

// Text-face bits: bold 1, italic 2, underline 4.
enum CTxtFace : std::int32_t {
    kNormalFace = 0,
    kBoldFace = 1,
    kItalicFace = 2,
    kUnderlineFace = 4,
};

// Font ids of the table; an id outside 0..7 is taken as 0.
enum CFontId : std::int32_t {
    kSystemFont = 0, // Arial 12 bold
    kNormalFontVeryBig = 1,
    kNormalFontBig = 2,
    kNormalFont = 3,
    kNormalFontSmall = 4,
    kNormalFontSmaller = 5,
    kNormalFontVerySmall = 6,
    kSymbolFont = 7,
};
inline constexpr std::int32_t kNumFonts = 8;

struct FontTableEntry {
    const char* face;
    std::int32_t height; // character height in pixels (the em size)
    bool bold;
};

// What a platform needs to render text: a family name (matched by the
// platform's font service), the character height in pixels and the styles.
struct GuiFont {
    const char* family = "Arial";
    std::int32_t pixelHeight = 12;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool symbol = false; // the decorative family: letters map to the symbol set

    bool operator==(const GuiFont& other) const = default;
};

// [any thread] The table is constant.
const FontTableEntry& fontTableEntry(std::int32_t fontId);
// size 0 means the table height; bold comes from the face bit or id 0.
GuiFont makeGuiFont(std::int32_t fontId, std::int32_t size, std::int32_t txtFace);
