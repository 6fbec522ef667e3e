#pragma once

// The frame: the root of the view tree. It owns the native child window
// inside the host's window and a back buffer the size of the window; the
// window's paint requests, clicks and wheel turns come to it from the
// platform, and it hands them down the tree.
//
// Its life is the editor's open span: an editor makes it in open() and
// releases it in close(). The window may go before that (the host destroyed
// its own window under it): the frame then stays, closed (isOpen() false),
// and draws and shows nothing more.

#include <cstdint>
#include <memory>

#include "gui/draw_context.h"
#include "gui/gui_types.h"
#include "gui/platform.h"
#include "gui/view.h"

class CFrame : public CViewContainer, private GuiWindowClient {
public:
    // [ui thread] Creates the native child window inside parentWindow;
    // isOpen() tells whether that worked (it fails without a parent or a
    // display). The thread that makes the frame is its UI thread from then on.
    CFrame(const CRect& size, void* parentWindow, GuiEditor* editor);

    // [ui thread; any state]
    bool isOpen() const { return open; }
    bool isFirstDraw() const { return firstDraw; }
    GuiEditor* getEditor() const { return editor; }
    GuiPlatform* getPlatform() const { return platform; }
    GuiWindow* getWindow() const { return window.get(); }
    void* getParentWindow() const { return parentWindow; }
    void* getNativeWindow() const;

    // [ui thread; any state] Redraws what changed into the back buffer and
    // shows it; does nothing while closed or before the first paint request.
    virtual void idle();
    // [ui thread; during a control's mouse handling] What the toolkit's
    // controls run while they track the mouse.
    void runThrottledIdle();

    // [ui thread; any state]
    void setModalView(CView* view);
    CView* getModalView() const { return modalView; }
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    // Moves the focus to the next (previous) child; false when there is none.
    bool advanceNextFocusView(CView* current, bool reverse = false);

    // [ui thread; any state] The host's keys, to the focus view, then the modal one.
    std::int32_t onKeyDown(CKeyCode& key) override;
    std::int32_t onKeyUp(CKeyCode& key) override;
    // [ui thread, frame open] From the window's events, with a window context.
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    // [ui thread; any state]
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* className) const override;
    CPoint childOrigin() const override { return CPoint(0, 0); }

    // [ui thread; any state] Passed on to the editor with the control's tag.
    void beginEdit(std::int32_t tag);
    void endEdit(std::int32_t tag);

    // [ui thread; any state] A context for the window: it draws into the back
    // buffer (shown at the next present) and reads the pointer. The caller
    // releases it.
    CDrawContext* createWindowContext();
    // [ui thread; any state] The back buffer, made on first need (black), or
    // null without a platform.
    COffscreenContext* getBackBuffer();
    // [ui thread; any state] Copies the back buffer's area (or all of it) to
    // the window; nothing while closed.
    void presentBackBuffer(const CRect* area = nullptr);

    // [ui thread; any state] The top-left of a frame point on the screen (the
    // point as it is without a window).
    CPoint localToScreen(CPoint point);
    // [ui thread; any state] Resizes the window (asks the host first when it
    // can size windows).
    bool setSize(std::int32_t width, std::int32_t height);

    // [ui thread; any state] Called by a container when a view leaves the tree.
    void viewRemoved(CView* view);

protected:
    ~CFrame() override;

private:
    // From the platform, on the UI thread: see GuiWindowClient.
    void windowPaint(const CRect& updateRect) override;
    void windowMouseDown(CPoint where, std::int32_t buttons) override;
    void windowWheel(CPoint where, float distance, std::int32_t axis, std::int32_t buttons) override;
    void windowDestroyed() override;
    void windowIdle() override;

    GuiEditor* editor;
    GuiPlatform* platform;
    void* parentWindow;
    std::unique_ptr<GuiWindow> window;
    CView* modalView = nullptr;
    CView* focusView = nullptr;
    bool firstDraw = true;
    bool open = false;
    // A click is being handled (with the drag or pop-up it leads to): the
    // window's own idle waits until it is over.
    std::int32_t clicksInHand = 0;
    COffscreenContext* backBuffer = nullptr;
};
