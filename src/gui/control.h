#pragma once

// Controls: views that hold a value between a minimum and a maximum, carry a
// tag (the parameter index they show) and report changes to a listener.
// A control counts as dirty while its value differs from the value it last
// drew, so moving a value is enough to get it redrawn at the next idle.
//
// `CKnob` turns a drag, the wheel or the arrow keys into a value; `COnOffButton`
// toggles between 0 and 1 and shows one of two stacked bitmap frames.

#include <cstdint>

#include "gui/fonts.h"
#include "gui/view.h"

class CControl;
class GuiBitmap;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    // [ui thread; from a control's handling of a click, a drag, the wheel or a
    // key] context is null when the change came from a key.
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // Offered every click with a modifier held; nonzero consumes the click.
    virtual std::int32_t modifierClicked(CDrawContext* context, CControl* control, std::int32_t buttons);
};

class CControl : public CView {
public:
    // [ui thread; any state]
    CControl(const CRect& size, CControlListener* listener = nullptr, std::int32_t tag = 0,
             GuiBitmap* background = nullptr);

    // [ui thread; during the control's mouse handling] Runs the frame's
    // throttled idle, so the screen and the host keep up while the control
    // tracks the mouse.
    virtual void runIdlePass();

    // [ui thread; any state]
    virtual void setValue(float newValue) { value = newValue; }
    virtual float getValue() const { return value; }
    virtual void setMin(float newMin) { vmin = newMin; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float newMax) { vmax = newMax; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float newOld) { oldValue = newOld; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float newDefault) { defaultValue = newDefault; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(std::int32_t newTag) { tag = newTag; }
    std::int32_t getTag() const { return tag; }
    void setListener(CControlListener* newListener) { listener = newListener; }
    CControlListener* getListener() const { return listener; }
    void setWheelInc(float increment) { wheelInc = increment; }
    float getWheelInc() const { return wheelInc; }
    std::uint32_t getDoubleClickTime() const { return doubleClickTime; }

    // [ui thread; any state] Makes the control the frame's focus view (keys go
    // to it), then tells the editor that a gesture on the tag begins.
    virtual void beginEdit();
    virtual void endEdit();
    // Clamps the value to minimum..maximum.
    virtual void bounceValue();
    // [ui thread; from a click] Control together with the left button
    // (buttons exactly 17) sets the default value, reports it when it changed,
    // and consumes the click.
    virtual bool checkDefaultValue(CDrawContext* context, std::int32_t buttons);

    // [ui thread; any state] Dirty while the value differs from the value last
    // drawn, or marked.
    bool isDirty() const override;
    // true forces a redraw; false records the current value as drawn.
    void setDirty(bool state = true) override;
    bool attached(CView* parent) override;
    bool isTypeOf(const char* className) const override;

protected:
    ~CControl() override = default;
    // Clamps, and when dirty reports between beginEdit and endEdit.
    void reportValue(CDrawContext* context);
    // Offers a click with a modifier to the listener; true when consumed.
    bool offerModifierClick(CDrawContext* context, std::int32_t buttons);

    CControlListener* listener;
    std::int32_t tag;
    float value = 0.f;
    float oldValue = 1.f;
    float defaultValue = 0.5f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
    std::uint32_t doubleClickTime = 250;
};

enum CKnobMode : std::int32_t {
    kCircularMode = 0,
    kRelativCircularMode = 1,
    kLinearMode = 2,
};

class CKnob : public CControl {
public:
    // [ui thread; any state] The background is the knob's face; handle may be
    // null (a line is drawn).
    CKnob(const CRect& size, CControlListener* listener, std::int32_t tag, GuiBitmap* background,
          GuiBitmap* handle, const CPoint& offset = CPoint(0, 0));

    // [any editor's ui thread; any state] The knobs' mode, shared by every
    // knob of the module (set by the host).
    static void setKnobMode(std::int32_t mode);
    static std::int32_t getKnobMode();

    // [ui thread; any state]
    void draw(CDrawContext* context) override;
    // [ui thread, frame open] A drag returns only when the button is up
    // again, running the idle pass meanwhile.
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    // [ui thread, frame open]
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    // [ui thread; any state]
    std::int32_t onKeyDown(CKeyCode& key) override;
    bool isTypeOf(const char* className) const override;

    // [ui thread; any state]
    void setHandleBitmap(GuiBitmap* bitmap);
    GuiBitmap* getHandleBitmap() const { return handle; }
    void setInsetValue(std::int32_t inset) { insetValue = inset; }
    std::int32_t getInsetValue() const { return insetValue; }
    void setColorHandle(CColor colour) { colorHandle = colour; }
    void setColorShadowHandle(CColor colour) { colorShadowHandle = colour; }
    void setStartAngle(float angle) { startAngle = angle; }
    float getStartAngle() const { return startAngle; }
    void setRangeAngle(float angle) { rangeAngle = angle; }
    float getRangeAngle() const { return rangeAngle; }
    void setZoomFactor(float factor) { zoomFactor = factor; }
    float getZoomFactor() const { return zoomFactor; }

    // [ui thread; any state] The value for a pointer position (in the knob's
    // parent coordinates) on the circular arc; a point in the gap gives the
    // nearer end.
    float valueFromPoint(const CPoint& where) const;
    // Where the handle's centre is drawn, relative to the knob's top-left.
    CPoint handlePoint() const;

protected:
    ~CKnob() override;
    virtual void drawHandle(CDrawContext* context);

    CPoint offset;
    GuiBitmap* handle = nullptr;
    std::int32_t insetValue = 3;
    CColor colorHandle = kWhiteCColor;
    CColor colorShadowHandle = kGreyCColor;
    float radius;
    float startAngle = 3.926991f;  // 225 degrees: lower left
    float rangeAngle = -4.712389f; // -270 degrees: clockwise
    float halfAngle = 0.7853982f;  // half the gap at the bottom
    float zoomFactor = 1.5f;
};

// Style 0 runs the idle pass before reporting a click, style 1 after.
// [ui thread; any state] everything but the click.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, std::int32_t tag, GuiBitmap* background,
                 std::int32_t style = 0);

    void draw(CDrawContext* context) override;
    // [ui thread, frame open]
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;

    bool isTypeOf(const char* className) const override;
    std::int32_t getStyle() const { return style; }
    void setStyle(std::int32_t newStyle) { style = newStyle; }

protected:
    ~COnOffButton() override = default;
    std::int32_t style;
};
