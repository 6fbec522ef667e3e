#pragma once

// The view tree: `CView` (a rectangle that draws itself and may take the
// mouse), `CViewContainer` (an ordered list of children: insertion order is
// drawing order, the last child is topmost) and `CFrame` (the root, which owns
// the native child window inside the host's window and a back buffer; see
// frame.h, which comes with this header).
//
// Redraw is deferred: views are marked dirty when their content changes, and
// the frame redraws the marked ones in its idle, into the back buffer, which
// is then shown in the window. Nothing is drawn before the window's first
// paint request. A child's rectangle is in its container's coordinates; the
// frame's origin is the window's top-left pixel.
//
// Threads: views live on their frame's UI thread; nothing here may be called
// from another (the editor's update step brings other threads' changes over).

#include <cstdint>
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
    // [ui thread; any state]
    explicit CView(const CRect& size);

    // [ui thread; any state] Into whatever the context draws on.
    virtual void draw(CDrawContext* context);
    // Draws the part within updateRect (in the same coordinates as the view's
    // rectangle); by default the whole view.
    virtual void drawRect(CDrawContext* context, const CRect& updateRect);
    // True when the view meets updateRect.
    virtual bool checkUpdate(const CRect& updateRect) const;

    // [ui thread, frame open] From the frame's window events, with a window
    // context. where is in the coordinates of the view's rectangle; buttons
    // -1 means "read them from the context".
    virtual void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, float distance);
    virtual bool onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance);

    // [ui thread; any state] Both answer -1 when the key is not handled.
    virtual std::int32_t onKeyDown(CKeyCode& key);
    virtual std::int32_t onKeyUp(CKeyCode& key);
    virtual std::int32_t notify(CView* sender, const char* message);

    // [ui thread; any state] From the frame, with a null context.
    virtual void loseFocus(CDrawContext* context);
    virtual void takeFocus(CDrawContext* context);

    // [ui thread; any state]
    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool state = true) { dirty = state; }

    // [ui thread; any state]
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

    // [ui thread; any state] Called by the container when the view leaves it /
    // joins it.
    virtual bool removed(CView* parent);
    virtual bool attached(CView* parent);

    // [ui thread, frame open] The pointer in the view's own coordinates (those
    // of its rectangle).
    virtual void getMouseLocation(CDrawContext* context, CPoint& point);
    // [ui thread; any state] Between frame (window) coordinates and the
    // coordinates of this view's rectangle.
    virtual CPoint& frameToLocal(CPoint& point) const;
    virtual CPoint& localToFrame(CPoint& point) const;

    // [ui thread; any state] The view retains the bitmap and releases the one
    // it held.
    virtual void setBackground(GuiBitmap* bitmap);
    GuiBitmap* getBackground() const { return background; }

    // [ui thread; any state] Redraws rect now through the parent (so views
    // under and over it are drawn too), or the view alone without a parent.
    virtual void redrawRect(CDrawContext* context, const CRect& rect);

    // [ui thread; any state] True for this class's name and every base
    // class's name.
    virtual bool isTypeOf(const char* className) const;
    // Draws the view when it is dirty and clears the mark.
    virtual void update(CDrawContext* context);

    // [ui thread; any state]
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
    // [ui thread; any state]
    CViewContainer(const CRect& size, CFrame* frame, GuiBitmap* backgroundBitmap = nullptr);

    // [ui thread; any state] Appends a child (topmost) and takes over the
    // caller's reference.
    virtual bool addView(CView* view);
    virtual bool removeView(CView* view, bool withRelease = true);
    virtual bool removeAll(bool withRelease = true);
    virtual bool isChild(const CView* view) const;
    std::int32_t getNbViews() const { return static_cast<std::int32_t>(children.size()); }
    CView* getView(std::int32_t index) const;
    // The topmost mouse-enabled child whose hit test accepts where (in the
    // container's child coordinates), or null.
    virtual CView* getViewAt(const CPoint& where) const;

    // [ui thread; any state]
    void setBackgroundColor(CColor colour) { backgroundColor = colour; }
    CColor getBackgroundColor() const { return backgroundColor; }
    void setMode(std::int32_t newMode) { mode = newMode; }
    std::int32_t getMode() const { return mode; }

    // [ui thread; any state]
    void draw(CDrawContext* context) override;
    void drawRect(CDrawContext* context, const CRect& updateRect) override;
    virtual void drawBackgroundRect(CDrawContext* context, const CRect& rect);

    // [ui thread, frame open] As in CView.
    void mouse(CDrawContext* context, CPoint& where, std::int32_t buttons = -1) override;
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;
    bool onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) override;

    // [ui thread; any state]
    std::int32_t notify(CView* sender, const char* message) override;
    bool isDirty() const override;
    void setDirty(bool state = true) override;
    bool attached(CView* parent) override;
    bool removed(CView* parent) override;
    bool isTypeOf(const char* className) const override;

    // [ui thread; any state] Where the children's coordinate origin lies in
    // the container's parent.
    virtual CPoint childOrigin() const { return CPoint(size.left, size.top); }

protected:
    ~CViewContainer() override;
    // Sets the parent frame of every descendant.
    void propagateFrame(CFrame* frame);

    std::vector<CView*> children;
    CColor backgroundColor = kBlackCColor;
    std::int32_t mode = 0;
};

// The tree's root; code that walks the tree meets it everywhere.
#include "gui/frame.h"
