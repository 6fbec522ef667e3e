#include "gui/draw_context.h"

#include "gui/view.h"

CDrawContext::CDrawContext(CFrame* frame_, GuiSurface* surface_) : frame(frame_), surface(surface_) {
    font = makeGuiFont(fontId, 0, 0);
    resetClipRect();
}

void CDrawContext::setSurface(GuiSurface* newSurface) {
    surface = newSurface;
    resetClipRect();
}

CRect CDrawContext::toSurface(const CRect& rect) const {
    CRect r = rect;
    r.offset(offset.h, offset.v);
    return r;
}

void CDrawContext::applyClip() {
    if (surface != nullptr) {
        surface->setClip(clipOnSurface);
    }
}

void CDrawContext::setOffset(CPoint newOffset) {
    offset = newOffset;
}

void CDrawContext::resetClipRect() {
    clipOnSurface = surface != nullptr ? CRect(0, 0, surface->width(), surface->height()) : CRect();
    applyClip();
}

void CDrawContext::getClipRect(CRect& clip) const {
    clip = clipOnSurface;
    clip.offset(-offset.h, -offset.v);
}

void CDrawContext::setClipRect(const CRect& clip) {
    CRect r = toSurface(clip);
    if (surface != nullptr) {
        r.bound(CRect(0, 0, surface->width(), surface->height()));
    }
    clipOnSurface = r;
    applyClip();
}

void CDrawContext::moveTo(const CPoint& point) {
    penPosition = point;
}

void CDrawContext::lineTo(const CPoint& point) {
    if (surface != nullptr) {
        CPoint from = penPosition;
        CPoint to = point;
        from.offset(offset.h, offset.v);
        to.offset(offset.h, offset.v);
        surface->drawLine(from, to, frameColor, lineWidth, lineStyle);
    }
    penPosition = point;
}

void CDrawContext::drawRect(const CRect& rect) {
    if (surface != nullptr) {
        surface->frameRect(toSurface(rect), frameColor, lineWidth);
    }
}

void CDrawContext::fillRect(const CRect& rect) {
    if (surface != nullptr) {
        surface->fillRect(toSurface(rect), fillColor);
    }
}

void CDrawContext::drawEllipse(const CRect& rect) {
    if (surface != nullptr) {
        CRect r = toSurface(rect);
        r.offset(1, 1);
        surface->fillEllipse(r, fillColor);
    }
}

void CDrawContext::drawPoint(const CPoint& point, CColor colour) {
    if (surface != nullptr) {
        CRect r(point.h, point.v, point.h + 1, point.v + 1);
        surface->fillRect(toSurface(r), colour);
    }
}

void CDrawContext::setFont(std::int32_t newFontId, std::int32_t size, std::int32_t txtFace) {
    if (newFontId < 0 || newFontId >= kNumFonts) {
        newFontId = kSystemFont;
    }
    fontId = newFontId;
    font = makeGuiFont(newFontId, size, txtFace);
}

std::int32_t CDrawContext::getStringWidth(const char* text) {
    if (surface == nullptr || text == nullptr) {
        return 0;
    }
    return surface->textWidth(text, font);
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, std::int32_t align) {
    if (surface == nullptr || text == nullptr) {
        return;
    }
    surface->drawText(text, toSurface(rect), font, fontColor, align, opaque ? &fillColor : nullptr);
}

std::int32_t CDrawContext::getMouseButtons() {
    if (frame == nullptr || frame->getPlatform() == nullptr) {
        return 0;
    }
    return frame->getPlatform()->pointerState(frame->getWindow(), nullptr);
}

void CDrawContext::getMouseLocation(CPoint& point) {
    if (frame == nullptr || frame->getPlatform() == nullptr) {
        return;
    }
    frame->getPlatform()->pointerState(frame->getWindow(), &point);
}

COffscreenContext::COffscreenContext(CFrame* frame_, std::int32_t width_, std::int32_t height_,
                                     CColor background)
    : CDrawContext(frame_, nullptr), width(width_), height(height_) {
    if (frame_ != nullptr && frame_->getPlatform() != nullptr && width_ > 0 && height_ > 0) {
        ownedSurface = frame_->getPlatform()->createSurface(width_, height_);
    }
    setSurface(ownedSurface.get());
    clear(background);
}

COffscreenContext::COffscreenContext(CFrame* frame_, std::unique_ptr<GuiSurface> ownSurface,
                                     CColor background)
    : CDrawContext(frame_, nullptr), ownedSurface(std::move(ownSurface)) {
    width = ownedSurface != nullptr ? ownedSurface->width() : 0;
    height = ownedSurface != nullptr ? ownedSurface->height() : 0;
    setSurface(ownedSurface.get());
    clear(background);
}

COffscreenContext::~COffscreenContext() = default;

void COffscreenContext::clear(CColor background) {
    if (surface == nullptr) {
        return;
    }
    CColor oldFill = getFillColor();
    CColor oldFrame = getFrameColor();
    setFillColor(background);
    setFrameColor(background);
    CRect all(0, 0, width, height);
    fillRect(all);
    drawRect(all);
    setFillColor(oldFill);
    setFrameColor(oldFrame);
}

void COffscreenContext::copyFrom(CDrawContext* dest, const CRect& destRect, CPoint sourceOffset) {
    if (surface == nullptr || dest == nullptr || dest->getSurface() == nullptr) {
        return;
    }
    CRect r = destRect;
    CPoint o = dest->getOffset();
    r.offset(o.h, o.v);
    dest->getSurface()->copySurface(*surface, r, sourceOffset);
}

std::uint32_t COffscreenContext::pixelAt(std::int32_t x, std::int32_t y) {
    if (surface == nullptr || x < 0 || y < 0 || x >= width || y >= height) {
        return 0;
    }
    surface->flush();
    GuiPixels p = surface->pixels();
    return p
        .data[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)];
}
