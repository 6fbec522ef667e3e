#pragma once

// The editor layer between the host's editor requests and a frame, with the
// throttled idle that keeps the screen and the host alive while a control
// tracks the mouse. The host is reached only through `GuiHost`, so the
// toolkit knows nothing of the effect or the plug-in interface.

#include <atomic>
#include <cstdint>
#include <memory>

#include "gui/gui_types.h"
#include "gui/platform.h"

class CFrame;

// What the toolkit asks of the host, implemented by the composition root over
// the effect's host layer.
class GuiHost {
public:
    virtual ~GuiHost() = default;
    // [ui thread; any state] Asks the host to resize the editor's window.
    virtual bool sizeWindow(std::int32_t width, std::int32_t height) = 0;
    // [ui thread; any state] Whether the host answers yes to a capability text.
    virtual bool canHostDo(const char* text) = 0;
    // [ui thread; during a control's mouse handling] Lets the host idle (it
    // may call the editor's idle back at once).
    virtual void idle() = 0;
    // [ui thread; any state] A gesture on the parameter begins / ends.
    virtual void beginEdit(std::int32_t index) = 0;
    virtual void endEdit(std::int32_t index) = 0;
};

// The editor rectangle as the host reads it: top, left, bottom, right.
struct GuiEditorRect {
    std::int16_t top = 0;
    std::int16_t left = 0;
    std::int16_t bottom = 0;
    std::int16_t right = 0;
};

class GuiEditor {
public:
    // [any thread, before any other call] The platform is owned; the host must
    // outlive the editor.
    GuiEditor(GuiHost* host, std::unique_ptr<GuiPlatform> platform);
    // [ui thread; any state; once closed, the thread that deletes the effect]
    virtual ~GuiEditor();
    GuiEditor(const GuiEditor&) = delete;
    GuiEditor& operator=(const GuiEditor&) = delete;

    // [ui thread; any state] Hands out the editor rectangle's address; true.
    virtual bool getRect(GuiEditorRect** rect);
    // [ui thread; any state] Marks for update and remembers the parent window;
    // the layer itself builds no frame and answers false.
    virtual bool open(void* parentWindow);
    // [ui thread; any state] Nothing at this layer; the editor deletes its frame.
    virtual void close();
    // [ui thread; any state] Handles the window's waiting events (not while
    // one is being handled), then, unless the host is being idled from here:
    // the update step, then the frame's idle.
    virtual void idle();
    // [any thread; never waits] The next idle runs the update step.
    virtual void postUpdate() { updateFlag.store(true, std::memory_order_release); }
    // [any thread; never waits] Marks for the update step.
    virtual void setParameter(std::int32_t index, float value);
    // [ui thread; any state] The frame's key handling, or -1 without a frame.
    virtual std::int32_t onKeyDown(CKeyCode& key);
    virtual std::int32_t onKeyUp(CKeyCode& key);
    // [ui thread; any state] A wheel turn at the current pointer position.
    virtual bool onWheel(float distance);
    // [ui thread; any state] Stores the knobs' mode (2 = linear); result 1.
    virtual std::int32_t setKnobMode(std::int32_t mode);
    // [ui thread; any state] Run from idle when the update flag was set.
    virtual void update() {}

    // [ui thread; during a control's mouse handling] Idle at most every 50 ms
    // or so, however often it is called.
    void throttledIdle();

    // [ui thread; any state] From the frame, around a control's gesture.
    virtual void beginEdit(std::int32_t index);
    virtual void endEdit(std::int32_t index);

    // [ui thread; any state]
    CFrame* getFrame() const { return frame; }
    GuiPlatform* getPlatform() const { return platform.get(); }
    GuiHost* getHost() const { return host; }
    void* getParentWindow() const { return parentWindow; }
    // [any thread; never waits]
    bool isUpdatePending() const { return updateFlag.load(std::memory_order_acquire); }

    // [ui thread; any state] Closes the frame now (the frame and every view it
    // holds are released).
    void deleteFrame();

protected:
    GuiHost* host;
    void* parentWindow = nullptr;
    std::atomic<bool> updateFlag{false};
    CFrame* frame = nullptr;
    GuiEditorRect rect;
    std::uint32_t nextIdleTime = 0;
    bool inIdle = false;

private:
    std::unique_ptr<GuiPlatform> platform;
    bool handlingEvents = false;
};
