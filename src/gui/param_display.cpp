#include "gui/param_display.h"

#include <cstdio>
#include <cstring>

#include "gui/gui_bitmap.h"

CParamDisplay::CParamDisplay(const CRect& size_, GuiBitmap* background_, std::int32_t style_)
    : CControl(size_, nullptr, 0, background_), style(style_) {}

void CParamDisplay::setStringConvert(CParamDisplayValueToStringProc convert) {
    stringConvert = convert;
    setDirty();
}

void CParamDisplay::setStringConvert(CParamDisplayValueToStringProcWithData convert, void* data) {
    stringConvertWithData = convert;
    userData = data;
    setDirty();
}

void CParamDisplay::valueToString(char* string) const {
    string[0] = 0;
    if (stringConvertWithData != nullptr) {
        stringConvertWithData(value, string, userData);
    } else if (stringConvert != nullptr) {
        stringConvert(value, string);
    } else {
        std::snprintf(string, kDisplayTextSize, "%2.2f", static_cast<double>(value));
    }
    string[kDisplayTextSize - 1] = 0;
}

void CParamDisplay::draw(CDrawContext* context) {
    char string[kDisplayTextSize];
    valueToString(string);
    drawText(context, string);
}

void CParamDisplay::drawText(CDrawContext* context, const char* string) {
    setDirty(false);
    if ((style & kNoDrawStyle) != 0) {
        return;
    }
    CColor oldFill = context->getFillColor();
    CColor oldFrame = context->getFrameColor();
    if (background != nullptr) {
        background->draw(context, size);
    } else if (textTransparency) {
        context->setFillColor(backColor);
        context->fillRect(size);
        if ((style & (k3DIn | k3DOut | kNoFrame)) == 0) {
            context->setFrameColor(frameColor);
            context->drawRect(size);
        }
    }
    // A raised (out) or sunken (in) edge: light on one pair of sides, dark on
    // the other.
    if ((style & (k3DIn | k3DOut)) != 0) {
        bool raised = (style & k3DOut) != 0;
        CColor light = kWhiteCColor;
        CColor dark{24, 24, 24, 255};
        CPoint topRight(size.right - 1, size.top);
        CPoint bottomLeft(size.left, size.bottom - 1);
        context->setFrameColor(raised ? light : dark);
        context->moveTo(bottomLeft);
        context->lineTo(CPoint(size.left, size.top));
        context->lineTo(CPoint(size.right, size.top));
        context->setFrameColor(raised ? dark : light);
        context->moveTo(topRight);
        context->lineTo(CPoint(size.right - 1, size.bottom - 1));
        context->lineTo(CPoint(size.left - 1, size.bottom - 1));
    }
    context->setFillColor(oldFill);
    context->setFrameColor(oldFrame);

    if ((style & kNoTextStyle) != 0 || string == nullptr || string[0] == 0) {
        return;
    }
    CRect oldClip;
    context->getClipRect(oldClip);
    CRect clip = size;
    clip.bound(oldClip);
    context->setClipRect(clip);
    CColor oldFont = context->getFontColor();
    context->setFont(fontID, fontSize, txtFace);
    if ((style & kShadowText) != 0) {
        CRect shadow = size;
        shadow.offset(1, 1);
        context->setFontColor(shadowColor);
        context->drawString(string, shadow, false, horiTxtAlign);
    }
    context->setFontColor(fontColor);
    context->drawString(string, size, false, horiTxtAlign);
    context->setFontColor(oldFont);
    context->setClipRect(oldClip);
}

bool CParamDisplay::isTypeOf(const char* className) const {
    return std::strcmp(className, "CParamDisplay") == 0 || CControl::isTypeOf(className);
}

CTextLabel::CTextLabel(const CRect& size_, const char* text_, GuiBitmap* background_, std::int32_t style_)
    : CParamDisplay(size_, background_, style_) {
    setText(text_);
}

void CTextLabel::setText(const char* newText) {
    text = newText != nullptr ? newText : "";
    setDirty();
}

void CTextLabel::draw(CDrawContext* context) {
    drawText(context, text.c_str());
}

bool CTextLabel::isTypeOf(const char* className) const {
    return std::strcmp(className, "CTextLabel") == 0 || CParamDisplay::isTypeOf(className);
}
