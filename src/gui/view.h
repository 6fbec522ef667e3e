#pragma once

// The view tree: `CView` (a rectangle that draws itself and may take the
// mouse), `CViewContainer` (an ordered list of children: insertion order is
// drawing order, the last child is topmost) and `CFrame` (the root, which owns
// the native child window inside the host's window and a back buffer).
//
// Redraw is deferred: views are marked dirty when their content changes, and
// the frame redraws the marked ones in its idle, into the back buffer, which
// is then shown in the window. Nothing is drawn before the window's first
// paint request. A child's rectangle is in its container's coordinates; the
// frame's origin is the window's top-left pixel.

#include <cstdint>
#include <memory>
#include <vector>

#include "gui/draw_context.h"
#include "gui/gui_types.h"
#include "gui/platform.h"

class CFrame;
class CViewContainer;
class GuiBitmap;
class GuiEditor;

// Answered 1 by containers.
inline constexpr const char* kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";

class CView : public CBaseObject {
public:
    explicit CView(const CRect& size);

    virtual void draw(CDrawContext* context);
    // Draws the part within updateRect (in the same coordinates as the view's
    // rectangle); by default the whole view.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    // True when the view meets updateRect.
    virtual bool checkUpdate(const CRect& updateRect) const;

    // where is in the coordinates of the view's rectangle; buttons -1 means
    // "read them from the context".
    virtual void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance);
    // Both answer -1 when the key is not handled.
    virtual std::int32_t onKeyDown(CKeyCode& key);
    virtual std::int32_t onKeyUp(CKeyCode& key);
    virtual std::int32_t notify(CView* sender, const char* message);

    virtual void loseFocus(CDrawContext* context);
    virtual void takeFocus(CDrawContext* context);

    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool state = true) { dirty = state; }

    virtual void setMouseEnabled(bool state) { mouseEnabled = state; }
    virtual bool getMouseEnabled() const { return mouseEnabled; }
    virtual void setTransparency(bool state) { transparent = state; }
    virtual bool getTransparency() const { return transparent; }
    virtual void setMouseableArea(const CRect& area) { mouseableArea = area; }
    virtual const CRect& getMouseableArea() const { return mouseableArea; }
    virtual bool hitTest(const CPoint& where, std::int32_t buttons = -1) const;
    // Also resets the mouseable area to the new rectangle.
    virtual void setViewSize(const CRect& rect);
    const CRect& getViewSize() const { return size; }
    std::int32_t getWidth() const { return size.width(); }
    std::int32_t getHeight() const { return size.height(); }

    // Called by the container when the view leaves it / joins it.
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);

    // The pointer in the view's own coordinates (those of its rectangle).
    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    // Between frame (window) coordinates and the coordinates of this view's
    // rectangle.
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;

    // The view retains the bitmap and releases the one it held.
    virtual void setBackground(GuiBitmap* bitmap);
    GuiBitmap* getBackground() const { return background; }

    // Redraws rect now through the parent (so views under and over it are
    // drawn too), or the view alone without a parent.
    virtual void redrawRect(CDrawContext* context, const CRect& rect);

    // True for this class's name and every base class's name.
    virtual bool isTypeOf(const char* className) const;
    // Draws the view when it is dirty and clears the mark.
    virtual void update(CDrawContext* context);

    CFrame* getFrame() const { return parentFrame; }
    CView* getParentView() const { return parentView; }

protected:
    ~CView() override;
    friend class CViewContainer;

    CRect size;
    CRect mouseableArea;
    CFrame* parentFrame = nullptr;
    CView* parentView = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparent = false;
    GuiBitmap* background = nullptr;
};

class CViewContainer : public CView {
public:
    CViewContainer(const CRect& size, CFrame* frame, GuiBitmap* backgroundBitmap = nullptr);

    // Appends a child (topmost) and takes over the caller's reference.
    virtual bool addView(CView* view);
    virtual bool removeView(CView* view, bool withRelease = true);
    virtual bool removeAll(bool withRelease = true);
    virtual bool isChild(const CView* view) const;
    std::int32_t getNbViews() const { return static_cast<std::int32_t>(children.size()); }
    CView* getView(std::int32_t index) const;
    // The topmost mouse-enabled child whose hit test accepts where (in the
    // container's child coordinates), or null.
    virtual CView* getViewAt(const CPoint& where) const;

    void setBackgroundColor(CColor colour) { backgroundColor = colour; }
    CColor getBackgroundColor() const { return backgroundColor; }
    void setMode(std::int32_t newMode) { mode = newMode; }
    std::int32_t getMode() const { return mode; }

    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) override;
    std::int32_t notify(CView* sender, const char* message) override;
    bool isDirty() const override;
    void setDirty(bool state = true) override;
    bool attached(CView* parent) override;
    bool removed(CView* parent) override;
    bool isTypeOf(const char* className) const override;

    // Where the children's coordinate origin lies in the container's parent.
    virtual CPoint childOrigin() const { return CPoint(size.left, size.top); }

protected:
    ~CViewContainer() override;
    // Sets the parent frame of every descendant.
    void propagateFrame(CFrame* frame);

    std::vector<CView*> children;
    CColor backgroundColor = kBlackCColor;
    std::int32_t mode = 0;
};

class CFrame : public CViewContainer, private GuiWindowClient {
public:
    // Creates the native child window inside parentWindow; isOpen() tells
    // whether that worked (it fails without a parent or a display).
    CFrame(const CRect& size, void* parentWindow, GuiEditor* editor);

    bool isOpen() const { return open; }
    bool isFirstDraw() const { return firstDraw; }
    GuiEditor* getEditor() const { return editor; }
    GuiPlatform* getPlatform() const { return platform; }
    GuiWindow* getWindow() const { return window.get(); }
    void* getParentWindow() const { return parentWindow; }
    void* getNativeWindow() const;

    // Redraws what changed into the back buffer and shows it; does nothing
    // before the first paint request.
    virtual void idle();
    // What the toolkit's controls run while they track the mouse.
    void runThrottledIdle();

    void setModalView(CView* view);
    CView* getModalView() const { return modalView; }
    void setFocusView(CView* view);
    CView* getFocusView() const { return focusView; }
    // Moves the focus to the next (previous) child; false when there is none.
    bool advanceNextFocusView(CView* current, bool reverse = false);

    std::int32_t onKeyDown(CKeyCode& key) override;
    std::int32_t onKeyUp(CKeyCode& key) override;
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    void redrawRect(CDrawContext* context, const CRect& rect) override;
    bool isTypeOf(const char* className) const override;
    CPoint childOrigin() const override { return CPoint(0, 0); }

    // Passed on to the editor with the control's tag.
    void beginEdit(std::int32_t tag);
    void endEdit(std::int32_t tag);

    // A context for the window: it draws into the back buffer (shown at the
    // next present) and reads the pointer. The caller releases it.
    CDrawContext* createWindowContext();
    // The back buffer, made on first need (black), or null without a platform.
    COffscreenContext* getBackBuffer();
    // Copies the back buffer's area (or all of it) to the window.
    void presentBackBuffer(const CRect* area = nullptr);

    // The top-left of a frame point on the screen.
    CPoint localToScreen(CPoint point);
    // Resizes the window (asks the host first when it can size windows).
    bool setSize(std::int32_t width, std::int32_t height);

    // Called by a container when a view leaves the tree.
    void viewRemoved(CView* view);

protected:
    ~CFrame() override;

private:
    void windowPaint(const CRect& updateRect) override;
    void windowMouseDown(CPoint where, std::int32_t buttons) override;
    void windowWheel(CPoint where, float distance, std::int32_t axis, std::int32_t buttons) override;
    void windowDestroyed() override;

    GuiEditor* editor;
    GuiPlatform* platform;
    void* parentWindow;
    std::unique_ptr<GuiWindow> window;
    CView* modalView = nullptr;
    CView* focusView = nullptr;
    bool firstDraw = true;
    bool open = false;
    COffscreenContext* backBuffer = nullptr;
};
