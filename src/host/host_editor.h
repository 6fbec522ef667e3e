#pragma once

// What the host layer and the effect need of an editor. The concrete editor
// lives above the host layer; the effect only knows this interface.

#include <cstdint>

#include "common/vst2.h"

class HostEditor {
public:
    virtual ~HostEditor() = default;

    // [ui thread] The editor's rectangle; *rect points into the editor.
    virtual bool getRect(vst2::ERect** rect) = 0;
    // [ui thread] Opens the window inside the host's parent window. The host
    // may also pass its own connection to the window system (on X11 its
    // Display, on which the parent window lives), or null.
    virtual bool open(void* parentWindow, void* hostConnection) = 0;
    virtual void close() = 0;
    virtual void idle() = 0;
    virtual std::int32_t onKeyDown(vst2::VstKeyCode& key) = 0;
    virtual std::int32_t onKeyUp(vst2::VstKeyCode& key) = 0;
    virtual std::int32_t setKnobMode(std::int32_t mode) = 0;

    // [any thread] A parameter changed: redraw at the next idle.
    virtual void postUpdate() = 0;
    // [any thread] Moves the control of this parameter (drawn at the next idle).
    virtual void setParameter(std::int32_t index, float value) = 0;
};
