#pragma once

// The filter display: the magnitude response of the feedback filter drawn as
// a curve over a logarithmic frequency axis, with the type's name in the top
// left corner. It edits three parameters at once: a left-button drag sets the
// cutoff (horizontal, logarithmic) and the resonance (vertical); a right
// click opens a pop-up of the eight filter types. It is an option menu whose
// entries are the type names; drawing and mouse handling are its own.
//
// The curve comes from the feedback filter's own design, made at a sample rate
// of 2, so a design frequency of 1 is the Nyquist frequency. The control's value
// carries no parameter: while dragging it is a change code of the pointer
// position (a new position counts as a change); the listener reads the state
// back with getFilterState.
//
// Threads: everything here runs on the UI thread.

#include <cstdint>

#include "common/parameter_table.h"
#include "dsp/biquad.h"
#include "gui/option_menu.h"

class FilterDisplay : public COptionMenu {
public:
    static constexpr std::int32_t kPoints = 256;
    static constexpr std::int32_t kTypeCount = param::kFilterTypeCount;
    static constexpr double kCurveSampleRate = 2.0;
    static constexpr std::int32_t kNameSize = 64;
    // Shift held while dragging divides the pointer's travel by this much.
    static constexpr float kDefaultFineFactor = 10.0f;
    // The left edge: 100 Hz at 44.1 kHz, as a fraction of the Nyquist frequency.
    static constexpr double kMinFrequency = 0.0022675737272948027;
    static const double lnMinFrequency;
    static constexpr double lnMaxFrequency = 0.0;

    // The menu part carries menuTag at rest; dragTag is carried while dragging.
    // Buffers are made for `frame`'s platform.
    FilterDisplay(const CRect& size, CControlListener* listener, std::int32_t dragTag, std::int32_t menuTag,
                  CFrame* frame, CColor backColor, CColor frameColor, CColor curveColor);

    virtual void setTypeName(const char* text);
    const char* getTypeName() const { return typeName; }
    virtual void getFilterState(float& cutoffOut, float& resonanceOut, std::int32_t& typeOut) const;
    // Stores the state and checks the menu entry min(type, 7) (a negative
    // type checks nothing); marks the control for redraw.
    virtual void setFilterState(float newCutoff, float newResonance, std::int32_t newType);
    virtual void setFineFactor(float factor);
    virtual float getFineFactor() const { return fineFactor; }
    // Fills the background buffer and outlines it in the frame colour (the
    // display itself is drawn without a frame).
    virtual void drawFrame();
    // Recomputes `response` from the current state.
    virtual void computeResponse();

    // Curve values, 0 at the top edge (+30 dB) and 1 at the bottom (-40 dB).
    const float* getResponse() const { return response; }
    std::int32_t getMenuTag() const { return menuTag; }
    std::int32_t getDragTag() const { return dragTag; }
    // Where a cutoff lies across the display, 0 (left) .. 1 (right).
    static float positionOfCutoff(float cutoff);

    void setValue(float newValue) override;
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    std::int32_t onKeyDown(CKeyCode& key) override;
    bool attached(CView* parent) override;
    bool removed(CView* parent) override;
    bool isTypeOf(const char* className) const override;

protected:
    ~FilterDisplay() override;

private:
    void releaseWorkBuffer();

    std::int32_t menuTag;
    std::int32_t dragTag;
    CColor curveColor;
    float cutoff = 0.5f;
    float resonance = 0.3f;
    std::int32_t type = 0;
    float response[kPoints] = {};
    char typeName[kNameSize] = {};
    std::int32_t width;
    std::int32_t height;
    COffscreenContext* backgroundBuffer = nullptr;
    COffscreenContext* workBuffer = nullptr;
    float fineFactor = kDefaultFineFactor;
    BiquadCoefficients coefficients; // of the last design drawn
    // Set while the type pop-up is open, so the chosen entry becomes the type
    // before the listener hears of it.
    bool choosingType = false;
};
