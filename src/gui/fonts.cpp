#include "gui/fonts.h"

#include <array>

namespace {

constexpr std::array<FontTableEntry, kNumFonts> kFontTable{{
    {"Arial", 12, true},
    {"Arial", 18, false},
    {"Arial", 14, false},
    {"Arial", 12, false},
    {"Arial", 11, false},
    {"Arial", 10, false},
    {"Arial", 9, false},
    {"Symbol", 13, false},
}};

} // namespace

const FontTableEntry& fontTableEntry(std::int32_t fontId) {
    if (fontId < 0 || fontId >= kNumFonts) {
        fontId = kSystemFont;
    }
    return kFontTable[static_cast<std::size_t>(fontId)];
}

GuiFont makeGuiFont(std::int32_t fontId, std::int32_t size, std::int32_t txtFace) {
    if (fontId < 0 || fontId >= kNumFonts) {
        fontId = kSystemFont;
    }
    const FontTableEntry& entry = fontTableEntry(fontId);
    GuiFont font;
    font.family = entry.face;
    font.pixelHeight = size > 0 ? size : entry.height;
    font.bold = (txtFace & kBoldFace) != 0 || fontId == kSystemFont;
    font.italic = (txtFace & kItalicFace) != 0;
    font.underline = (txtFace & kUnderlineFace) != 0;
    font.symbol = fontId == kSymbolFont;
    return font;
}
