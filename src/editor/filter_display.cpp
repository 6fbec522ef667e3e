#include "editor/filter_display.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "gui/view.h"

namespace {

// Style of the menu part: the pop-up opens at the control's top edge and
// checks the current type.
constexpr std::int32_t kMenuStyle = 0x1600;

// The 256 curve points run from about 0.00228 to 0.9765 of the Nyquist
// frequency, evenly on a logarithmic scale.
constexpr float kFirstOffset = 0.0009070295f;
constexpr float kOffsetStep = 0.003902707f;
constexpr double kSinglePi = static_cast<double>(3.1415927f);
// The gain range shown: +30 dB at the top edge, -40 dB at the bottom.
constexpr float kTopDecibels = 30.0f;
constexpr float kPerDecibel = 0.014285714f; // 1 / 70

// A curve value as a pixel row. Values far outside the display (or not a
// number, as a design without coefficients gives) are drawn beyond the
// bottom edge, where the clip hides them.
std::int32_t curveRow(float value, std::int32_t height) {
    if (!std::isfinite(value)) {
        value = 2.0f;
    }
    value = std::clamp(value, -2.0f, 3.0f);
    return static_cast<std::int32_t>(static_cast<float>(height) * value);
}

} // namespace

const double FilterDisplay::lnMinFrequency = std::log(FilterDisplay::kMinFrequency);

FilterDisplay::FilterDisplay(const CRect& size_, CControlListener* listener_, std::int32_t dragTag_,
                             std::int32_t menuTag_, CFrame* frame, CColor backColor_, CColor frameColor_,
                             CColor curveColor_)
    : COptionMenu(size_, listener_, menuTag_, nullptr, nullptr, kMenuStyle), menuTag(menuTag_),
      dragTag(dragTag_), curveColor(curveColor_), width(size_.width()), height(size_.height()) {
    backColor = backColor_;
    frameColor = frameColor_;
    for (const char* name : param::kFilterTypeNames) {
        addEntry(name);
    }
    COptionMenu::setValue(0.0f);
    backgroundBuffer = new COffscreenContext(frame, width, height, backColor);
}

FilterDisplay::~FilterDisplay() {
    releaseWorkBuffer();
    backgroundBuffer->release();
}

void FilterDisplay::releaseWorkBuffer() {
    if (workBuffer != nullptr) {
        workBuffer->release();
        workBuffer = nullptr;
    }
}

void FilterDisplay::setTypeName(const char* text) {
    std::strncpy(typeName, text != nullptr ? text : "", kNameSize - 1);
    typeName[kNameSize - 1] = 0;
}

void FilterDisplay::getFilterState(float& cutoffOut, float& resonanceOut, std::int32_t& typeOut) const {
    cutoffOut = cutoff;
    resonanceOut = resonance;
    typeOut = type;
}

void FilterDisplay::setFilterState(float newCutoff, float newResonance, std::int32_t newType) {
    cutoff = newCutoff;
    resonance = newResonance;
    type = newType;
    if (newType >= 0) {
        COptionMenu::setValue(static_cast<float>(std::min(newType, kTypeCount - 1)));
    }
    setDirty();
}

void FilterDisplay::setFineFactor(float factor) {
    // A factor below one would make the fine drag coarser, zero would divide by zero.
    if (factor >= 1.0f) {
        fineFactor = factor;
    }
}

float FilterDisplay::positionOfCutoff(float cutoffValue) {
    if (!(cutoffValue > 0.0f)) {
        return 0.0f;
    }
    const double position =
        (std::log(static_cast<double>(cutoffValue)) - lnMinFrequency) / (lnMaxFrequency - lnMinFrequency);
    return static_cast<float>(std::clamp(position, 0.0, 1.0));
}

void FilterDisplay::setValue(float newValue) {
    COptionMenu::setValue(newValue);
    if (choosingType && currentIndex >= 0) {
        type = currentIndex;
    }
}

void FilterDisplay::drawFrame() {
    CColor oldFill = backgroundBuffer->getFillColor();
    CColor oldFrame = backgroundBuffer->getFrameColor();
    const CRect inner(0, 0, width - 1, height - 1);
    backgroundBuffer->setFillColor(backColor);
    backgroundBuffer->fillRect(inner);
    backgroundBuffer->setFrameColor(frameColor);
    backgroundBuffer->drawRect(inner);
    backgroundBuffer->setFillColor(oldFill);
    backgroundBuffer->setFrameColor(oldFrame);
}

// |H| from the coefficients: |B(e^jw)|^2 = Bsum + Bcross 2cos w + Bouter 2cos 2w
// (likewise A). The curve holds the gain in decibels with its sign inverted,
// so that a boost rises towards the top edge.
void FilterDisplay::computeResponse() {
    FilterDesign design;
    design.frequency = cutoff;
    if (type < 5) {
        design.q = 10.0f * resonance * resonance + 0.000001f;
        design.gain = 1.0f;
    } else {
        design.q = 1.0f;
        design.gain = 2.0f * resonance;
    }
    design.delayParameter = 1.0f;
    design.bandwidthMode = false;
    design.unitPeakBandpass = true;
    // A design that cannot be made leaves the last one drawn.
    designBiquad(type, design, kCurveSampleRate, coefficients);
    const double* a = coefficients.a;
    const double* b = coefficients.b;

    const double bSum = b[0] * b[0] + b[1] * b[1] + b[2] * b[2];
    const double bCross = b[1] * (b[0] + b[2]);
    const double bOuter = b[0] * b[2];
    const double aSum = a[0] * a[0] + a[1] * a[1] + a[2] * a[2];
    const double aCross = a[1] * (a[0] + a[2]);
    const double aOuter = a[0] * a[2];

    float offset = kFirstOffset;
    for (std::int32_t i = 0; i < kPoints; ++i) {
        const double f =
            std::exp(lnMinFrequency + static_cast<double>(offset) * (lnMaxFrequency - lnMinFrequency));
        const double w = f * kSinglePi;
        const double c = 2.0 * std::cos(w);
        const double d = 2.0 * std::cos(2.0 * w);
        const double ratio = (aSum + aCross * c + aOuter * d) / (bSum + bCross * c + bOuter * d);
        response[i] = static_cast<float>(20.0 * std::log10(std::sqrt(ratio)));
        offset += kOffsetStep;
    }
    for (float& point : response) {
        point = (point + kTopDecibels) * kPerDecibel;
    }
    // The lowest point of a notch or a cut can come out at minus infinity.
    if (!(std::fabs(response[0]) < 10.0f)) {
        response[0] = response[1];
    }
}

void FilterDisplay::draw(CDrawContext* context) {
    if (workBuffer == nullptr || !workBuffer->isValid()) {
        setDirty(false);
        return;
    }
    computeResponse();
    backgroundBuffer->copyFrom(workBuffer, CRect(0, 0, width, height));

    workBuffer->setFrameColor(curveColor);
    workBuffer->setFillColor(curveColor);
    workBuffer->setLineWidth(1);
    workBuffer->moveTo(CPoint(0, curveRow(response[0], height)));
    for (std::int32_t i = 1; i < kPoints; ++i) {
        workBuffer->lineTo(CPoint(i * width / kPoints, curveRow(response[i], height)));
    }

    if (type >= 0 && type < kTypeCount) {
        setTypeName(getEntry(type));
    }
    workBuffer->setFontColor(curveColor);
    workBuffer->setFont(kNormalFontSmall);
    workBuffer->drawString(typeName, CRect(5, 0, width, 20), false, kLeftText);

    workBuffer->copyFrom(context, size);
    setDirty(false);
}

void FilterDisplay::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    if (!mouseEnabled) {
        return;
    }
    if (buttons == -1) {
        buttons = context != nullptr ? context->getMouseButtons() : 0;
    }
    if (offerModifierClick(context, buttons)) {
        return;
    }
    const std::int32_t savedTag = tag;

    if ((buttons & kRButton) != 0) {
        // The type menu: the option menu's own pop-up, with the current type
        // checked. It opens over the point clicked, so the release of this
        // click must not count as a choice: the pop-up is run as for a left
        // click, and an entry is taken by clicking it. The tag stays the
        // menu's afterwards.
        setTag(menuTag);
        choosingType = true;
        COptionMenu::mouse(context, where, kLButton);
        choosingType = false;
        return;
    }
    if ((buttons & kLButton) == 0) {
        return;
    }

    setTag(dragTag);
    beginEdit();
    // With shift held, the pointer's travel counts a tenth, measured from
    // anchors taken when shift went down: the resonance, and across, the
    // position of the cutoff (so no jump happens when shift is pressed).
    float anchorX = positionOfCutoff(cutoff);
    float anchorY = resonance;
    const float spanX = static_cast<float>(size.right - size.left);
    const float spanY = static_cast<float>(size.bottom - size.top);
    for (;;) {
        const float pointerX = static_cast<float>(where.h - size.left) / spanX;
        const float pointerY = 1.0f - static_cast<float>(where.v - size.top) / spanY;
        float x = pointerX;
        float y = pointerY;
        if ((buttons & kShift) != 0) {
            x = anchorX + (x - anchorX) / fineFactor;
            y = anchorY + (y - anchorY) / fineFactor;
        }

        const long double exponent =
            static_cast<long double>(lnMinFrequency) +
            static_cast<long double>(std::clamp(x, 0.0f, 1.0f)) *
                (static_cast<long double>(lnMaxFrequency) - static_cast<long double>(lnMinFrequency));
        cutoff = static_cast<float>(std::exp(exponent));
        resonance = std::clamp(y, 0.02f, 1.0f);
        if ((buttons & kShift) == 0) {
            anchorX = positionOfCutoff(cutoff);
            anchorY = resonance;
        }

        // The change code: column and row of the pointer on a 127 x 127 grid,
        // wrapped to 32 bits as an unsigned number.
        const auto column = static_cast<std::int64_t>(std::clamp(pointerX, -1.0e6f, 1.0e6f) * 127.0f);
        const auto row = static_cast<std::int64_t>(std::clamp(pointerY, -1.0e6f, 1.0e6f) * 127.0f);
        const auto code = static_cast<std::uint32_t>(column * 256 + row);
        value = static_cast<float>(code) * (1.0f / 65536.0f);
        bounceValue();
        if (isDirty() && listener != nullptr) {
            listener->valueChanged(context, this);
        }

        getMouseLocation(context, where);
        runIdlePass();
        buttons = context != nullptr ? context->getMouseButtons() : 0;
        if ((buttons & kLButton) == 0) {
            break;
        }
    }
    endEdit();
    setTag(savedTag);
}

// The arrows step the change code only: the listener re-sends the state as
// it stands.
std::int32_t FilterDisplay::onKeyDown(CKeyCode& key) {
    float direction = 0.0f;
    switch (key.virt) {
    case VKEY_LEFT:
    case VKEY_DOWN:
        direction = -1.0f;
        break;
    case VKEY_UP:
    case VKEY_RIGHT:
        direction = 1.0f;
        break;
    default:
        return -1;
    }
    const float step = (key.modifier & MODIFIER_SHIFT) != 0 ? wheelInc * 0.1f : wheelInc;
    value += direction * step;
    bounceValue();
    if (isDirty() && listener != nullptr) {
        listener->valueChanged(nullptr, this);
    }
    return 1;
}

bool FilterDisplay::attached(CView* parent) {
    COptionMenu::attached(parent);
    releaseWorkBuffer();
    workBuffer = new COffscreenContext(parentFrame, width, height, backColor);
    return true;
}

bool FilterDisplay::removed(CView* parent) {
    releaseWorkBuffer();
    return COptionMenu::removed(parent);
}

bool FilterDisplay::isTypeOf(const char* className) const {
    return std::strcmp(className, "FilterDisplay") == 0 || COptionMenu::isTypeOf(className);
}
