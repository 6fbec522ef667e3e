#include "gui/control.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "gui/gui_bitmap.h"
#include "gui/gui_editor.h"

namespace {
// Set by the host for all knobs of the module; read on the UI thread.
std::atomic<std::int32_t> knobMode{kCircularMode};
constexpr float kPi = 3.14159265358979f;
// Pixels of (right + up) movement for the full range in linear mode.
constexpr float kLinearRange = 200.f;
} // namespace

std::int32_t CControlListener::modifierClicked(CDrawContext* /*context*/, CControl* /*control*/,
                                               std::int32_t /*buttons*/) {
    return 0;
}

// ---------------------------------------------------------------- CControl

CControl::CControl(const CRect& size_, CControlListener* listener_, std::int32_t tag_, GuiBitmap* background_)
    : CView(size_), listener(listener_), tag(tag_) {
    if (background_ != nullptr) {
        setBackground(background_);
    }
    dirty = false;
}

bool CControl::attached(CView* parent) {
    CView::attached(parent);
    if (parentFrame != nullptr && parentFrame->getPlatform() != nullptr) {
        doubleClickTime = std::max<std::uint32_t>(250, parentFrame->getPlatform()->doubleClickTime());
    }
    return true;
}

void CControl::runIdlePass() {
    if (parentFrame != nullptr) {
        parentFrame->runThrottledIdle();
    }
}

void CControl::beginEdit() {
    if (parentFrame != nullptr) {
        parentFrame->setFocusView(this);
        parentFrame->beginEdit(tag);
    }
}

void CControl::endEdit() {
    if (parentFrame != nullptr) {
        parentFrame->endEdit(tag);
    }
}

void CControl::bounceValue() {
    if (value > vmax) {
        value = vmax;
    } else if (value < vmin) {
        value = vmin;
    }
}

bool CControl::isDirty() const {
    return value != oldValue || dirty;
}

void CControl::setDirty(bool state) {
    dirty = state;
    if (state) {
        oldValue = value != -1.f ? -1.f : 0.f;
    } else {
        oldValue = value;
    }
}

void CControl::reportValue(CDrawContext* context) {
    bounceValue();
    if (isDirty() && listener != nullptr) {
        beginEdit();
        listener->valueChanged(context, this);
        endEdit();
    }
}

bool CControl::offerModifierClick(CDrawContext* context, std::int32_t buttons) {
    if (listener == nullptr || (buttons & kModifierMask) == 0) {
        return false;
    }
    return listener->modifierClicked(context, this, buttons) != 0;
}

bool CControl::checkDefaultValue(CDrawContext* context, std::int32_t buttons) {
    if (buttons != (kControl | kLButton)) {
        return false;
    }
    value = defaultValue;
    reportValue(context);
    return true;
}

bool CControl::isTypeOf(const char* className) const {
    return std::strcmp(className, "CControl") == 0 || CView::isTypeOf(className);
}

// ---------------------------------------------------------------- CKnob

CKnob::CKnob(const CRect& size_, CControlListener* listener_, std::int32_t tag_, GuiBitmap* background_,
             GuiBitmap* handle_, const CPoint& offset_)
    : CControl(size_, listener_, tag_, background_), offset(offset_) {
    radius = static_cast<float>(size.width()) / 2.f;
    setHandleBitmap(handle_);
    insetValue = handle_ != nullptr
                     ? static_cast<std::int32_t>(static_cast<float>(handle_->getWidth()) / 2.f + 2.5f)
                     : 3;
}

CKnob::~CKnob() {
    if (handle != nullptr) {
        handle->release();
    }
}

void CKnob::setKnobMode(std::int32_t mode) {
    knobMode.store(mode, std::memory_order_relaxed);
}

std::int32_t CKnob::getKnobMode() {
    return knobMode.load(std::memory_order_relaxed);
}

void CKnob::setHandleBitmap(GuiBitmap* bitmap) {
    if (bitmap != nullptr) {
        bitmap->retain();
    }
    if (handle != nullptr) {
        handle->release();
    }
    handle = bitmap;
    setDirty();
}

CPoint CKnob::handlePoint() const {
    float span = vmax - vmin;
    float angle = startAngle;
    if (span != 0.f && std::isfinite(value)) {
        // A host may store a value far outside the range; one so far that the
        // angle overflows leaves the handle at the start, like a value that is
        // not a number (the position of an infinite angle is not a number).
        const float turned = startAngle + (value - vmin) * rangeAngle / span;
        if (std::isfinite(turned)) {
            angle = turned;
        }
    }
    float reach = radius - static_cast<float>(insetValue);
    return CPoint(static_cast<std::int32_t>(radius + std::cos(angle) * reach + 0.5f),
                  static_cast<std::int32_t>(radius - std::sin(angle) * reach + 0.5f));
}

void CKnob::draw(CDrawContext* context) {
    if (background != nullptr) {
        background->drawTransparent(context, size, offset);
    }
    drawHandle(context);
    setDirty(false);
}

void CKnob::drawHandle(CDrawContext* context) {
    CPoint p = handlePoint();
    if (handle != nullptr) {
        std::int32_t w = handle->getWidth();
        std::int32_t h = handle->getHeight();
        CRect r(p.h - w / 2, p.v - h / 2, 0, 0);
        r.right = r.left + w;
        r.bottom = r.top + h;
        r.offset(size.left, size.top);
        handle->drawTransparent(context, r);
        return;
    }
    // No handle bitmap: a line from the centre, with its shadow one pixel down
    // and to the right.
    CPoint centre(size.left + static_cast<std::int32_t>(radius),
                  size.top + static_cast<std::int32_t>(radius));
    CPoint tip(size.left + p.h, size.top + p.v);
    CColor oldFrame = context->getFrameColor();
    context->setFrameColor(colorShadowHandle);
    context->moveTo(CPoint(centre.h + 1, centre.v + 1));
    context->lineTo(CPoint(tip.h + 1, tip.v + 1));
    context->setFrameColor(colorHandle);
    context->moveTo(centre);
    context->lineTo(tip);
    context->setFrameColor(oldFrame);
}

// The arc runs clockwise from the start angle through the range angle; the
// gap is the rest of the circle. Angles are measured from the start in the
// arc's direction and taken into [0, 2 pi): beyond the arc's end the pointer
// is in the gap, and its first half belongs to the maximum's end.
float CKnob::valueFromPoint(const CPoint& where) const {
    float dx = static_cast<float>(where.h - size.left) - radius;
    float dy = radius - static_cast<float>(where.v - size.top);
    float alpha = std::atan2(dy, dx);
    float direction = rangeAngle < 0.f ? -1.f : 1.f;
    float arc = std::fabs(rangeAngle);
    float fromStart = (alpha - startAngle) * direction;
    fromStart = std::fmod(fromStart, 2.f * kPi);
    if (fromStart < 0.f) {
        fromStart += 2.f * kPi;
    }
    float fraction;
    if (fromStart <= arc) {
        fraction = fromStart / arc;
    } else {
        fraction = fromStart - arc < halfAngle ? 1.f : 0.f;
    }
    return vmin + fraction * (vmax - vmin);
}

void CKnob::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    if (!mouseEnabled) {
        return;
    }
    if (buttons == -1) {
        buttons = context != nullptr ? context->getMouseButtons() : 0;
    }
    if ((buttons & kLButton) == 0) {
        return;
    }
    if (offerModifierClick(context, buttons)) {
        return;
    }
    if (checkDefaultValue(context, buttons)) {
        return;
    }

    std::int32_t mode = getKnobMode();
    bool altHeld = (buttons & kAlt) != 0;
    bool linear = (mode == kLinearMode) != altHeld;

    beginEdit();
    CPoint first = where;
    float entryValue = value;
    float range = (buttons & kShift) != 0 ? kLinearRange * zoomFactor : kLinearRange;
    std::int32_t oldButtons = buttons;
    bool haveReading = false;
    float previous = value;
    float halfSpan = (vmax - vmin) / 2.f;

    for (;;) {
        if (linear) {
            if (buttons != oldButtons) {
                // Start over from here, so the value does not jump.
                range = (buttons & kShift) != 0 ? kLinearRange * zoomFactor : kLinearRange;
                first = where;
                entryValue = value;
                oldButtons = buttons;
            }
            float diff = static_cast<float>((where.h - first.h) - (where.v - first.v));
            value = entryValue + diff * (vmax - vmin) / range;
            bounceValue();
        } else {
            float reading = valueFromPoint(where);
            if (haveReading) {
                // A jump of more than half the range can only come from crossing
                // the gap: stay at the end the knob came from.
                if (previous - reading > halfSpan) {
                    reading = vmax;
                } else if (reading - previous > halfSpan) {
                    reading = vmin;
                }
            }
            haveReading = true;
            previous = reading;
            value = reading;
        }
        if (isDirty() && listener != nullptr) {
            listener->valueChanged(context, this);
        }
        runIdlePass();
        if ((buttons & kLButton) == 0) {
            break;
        }
        getMouseLocation(context, where);
        buttons = context != nullptr ? context->getMouseButtons() : 0;
    }
    endEdit();
}

bool CKnob::onWheel(CDrawContext* context, const CPoint& /*where*/, float distance) {
    if (!mouseEnabled) {
        return false;
    }
    std::int32_t buttons = context != nullptr ? context->getMouseButtons() : 0;
    float step = (buttons & kShift) != 0 ? wheelInc * 0.1f : wheelInc;
    value += distance * step;
    reportValue(context);
    return true;
}

std::int32_t CKnob::onKeyDown(CKeyCode& key) {
    float direction;
    switch (key.virt) {
    case VKEY_LEFT:
    case VKEY_DOWN:
        direction = -1.f;
        break;
    case VKEY_UP:
    case VKEY_RIGHT:
        direction = 1.f;
        break;
    default:
        return -1;
    }
    float step = (key.modifier & MODIFIER_SHIFT) != 0 ? wheelInc * 0.1f : wheelInc;
    value += direction * step;
    reportValue(nullptr);
    return 1;
}

bool CKnob::isTypeOf(const char* className) const {
    return std::strcmp(className, "CKnob") == 0 || CControl::isTypeOf(className);
}

// ---------------------------------------------------------------- COnOffButton

COnOffButton::COnOffButton(const CRect& size_, CControlListener* listener_, std::int32_t tag_,
                           GuiBitmap* background_, std::int32_t style_)
    : CControl(size_, listener_, tag_, background_), style(style_) {}

void COnOffButton::draw(CDrawContext* context) {
    if (background != nullptr) {
        std::int32_t frameOffset = value == 0.f ? 0 : background->getHeight() / 2;
        background->drawTransparent(context, size, CPoint(0, frameOffset));
    }
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint& /*where*/, std::int32_t buttons) {
    if (!mouseEnabled) {
        return;
    }
    if (buttons == -1) {
        buttons = context != nullptr ? context->getMouseButtons() : 0;
    }
    if ((buttons & kLButton) == 0) {
        return;
    }
    if (offerModifierClick(context, buttons)) {
        return;
    }
    value = std::trunc(value) == 0.f ? 1.f : 0.f;
    if (style == 1) {
        reportValue(context);
        runIdlePass();
        return;
    }
    // The idle pass may already draw the new value, which would make the
    // button look unchanged to the report: decide before it runs.
    bounceValue();
    bool changed = isDirty();
    runIdlePass();
    if ((changed || isDirty()) && listener != nullptr) {
        beginEdit();
        listener->valueChanged(context, this);
        endEdit();
    }
}

bool COnOffButton::isTypeOf(const char* className) const {
    return std::strcmp(className, "COnOffButton") == 0 || CControl::isTypeOf(className);
}
