#pragma once

// Value displays and text labels: a box (background bitmap, or a fill in the
// background colour with an outline in the frame colour) with one line of
// text. A display turns its value into text through a converter (with user
// data, or plain) or "%2.2f"; a label shows a text of its own.

#include <cstdint>
#include <string>

#include "gui/control.h"
#include "gui/fonts.h"

using CParamDisplayValueToStringProc = void (*)(float value, char* string);
using CParamDisplayValueToStringProcWithData = void (*)(float value, char* string, void* userData);

// Style bits of displays, labels and menus.
enum CParamDisplayStyle : std::int32_t {
    kShadowText = 0x4,
    kNoDrawStyle = 0x10,
    k3DIn = 0x80,
    k3DOut = 0x100,
    kNoTextStyle = 0x800,
    kNoFrame = 0x4000,
};

// Room for a converted value, the terminating zero included.
inline constexpr std::int32_t kDisplayTextSize = 256;

// [ui thread; any state]; the converters run there too, as the display draws.
class CParamDisplay : public CControl {
public:
    CParamDisplay(const CRect& size, GuiBitmap* background = nullptr, std::int32_t style = 0);

    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

    void setFont(std::int32_t fontId) { fontID = fontId; }
    std::int32_t getFont() const { return fontID; }
    // The text's height in pixels; 0 takes the font table's for the font.
    void setFontSize(std::int32_t pixels) { fontSize = pixels; }
    std::int32_t getFontSize() const { return fontSize; }
    void setTxtFace(std::int32_t face) { txtFace = face; }
    std::int32_t getTxtFace() const { return txtFace; }
    void setFontColor(CColor colour) { fontColor = colour; }
    CColor getFontColor() const { return fontColor; }
    void setBackColor(CColor colour) { backColor = colour; }
    CColor getBackColor() const { return backColor; }
    void setFrameColor(CColor colour) { frameColor = colour; }
    CColor getFrameColor() const { return frameColor; }
    void setShadowColor(CColor colour) { shadowColor = colour; }
    CColor getShadowColor() const { return shadowColor; }
    void setHoriAlign(std::int32_t align) { horiTxtAlign = align; }
    std::int32_t getHoriAlign() const { return horiTxtAlign; }
    void setStyle(std::int32_t newStyle) { style = newStyle; }
    std::int32_t getStyle() const { return style; }
    void setTextTransparency(bool state) { textTransparency = state; }
    bool getTextTransparency() const { return textTransparency; }

    void setStringConvert(CParamDisplayValueToStringProc convert);
    void setStringConvert(CParamDisplayValueToStringProcWithData convert, void* userData);
    // The text the display shows for its current value.
    void valueToString(char* string) const;

protected:
    ~CParamDisplay() override = default;
    // Draws the box and the given text (clears the redraw mark first).
    virtual void drawText(CDrawContext* context, const char* string);

    std::int32_t style;
    CParamDisplayValueToStringProc stringConvert = nullptr;
    CParamDisplayValueToStringProcWithData stringConvertWithData = nullptr;
    void* userData = nullptr;
    std::int32_t horiTxtAlign = kCenterText;
    std::int32_t fontID = kNormalFont;
    std::int32_t fontSize = 0;
    std::int32_t txtFace = kNormalFace;
    CColor fontColor = kWhiteCColor;
    CColor backColor = kBlackCColor;
    CColor frameColor = kBlackCColor;
    CColor shadowColor = kRedCColor;
    bool textTransparency = true;
};

// [ui thread; any state]
class CTextLabel : public CParamDisplay {
public:
    CTextLabel(const CRect& size, const char* text = nullptr, GuiBitmap* background = nullptr,
               std::int32_t style = 0);

    void setText(const char* text);
    const char* getText() const { return text.c_str(); }
    void draw(CDrawContext* context) override;
    bool isTypeOf(const char* className) const override;

protected:
    ~CTextLabel() override = default;
    std::string text;
};
