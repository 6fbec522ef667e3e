#include "gui/view.h"

#include <algorithm>
#include <cstring>

#include "gui/gui_bitmap.h"

// ---------------------------------------------------------------- CView

CView::CView(const CRect& size_) : size(size_), mouseableArea(size_) {}

CView::~CView() {
    if (background != nullptr) {
        background->release();
    }
}

void CView::draw(CDrawContext* context) {
    if (background != nullptr) {
        background->drawTransparent(context, size);
    }
    setDirty(false);
}

void CView::drawRect(CDrawContext* context, const CRect& /*updateRect*/) {
    draw(context);
}

bool CView::checkUpdate(const CRect& updateRect) const {
    return size.rectOverlap(updateRect);
}

void CView::mouse(CDrawContext* /*context*/, CPoint& /*where*/, std::int32_t /*buttons*/) {}

bool CView::onWheel(CDrawContext* /*context*/, const CPoint& /*where*/, float /*distance*/) {
    return false;
}

bool CView::onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) {
    return axis == 0 ? onWheel(context, where, distance) : false;
}

std::int32_t CView::onKeyDown(CKeyCode& /*key*/) {
    return -1;
}

std::int32_t CView::onKeyUp(CKeyCode& /*key*/) {
    return -1;
}

std::int32_t CView::notify(CView* /*sender*/, const char* /*message*/) {
    return 0;
}

void CView::loseFocus(CDrawContext* /*context*/) {}

void CView::takeFocus(CDrawContext* /*context*/) {}

bool CView::hitTest(const CPoint& where, std::int32_t /*buttons*/) const {
    return mouseableArea.pointInside(where);
}

void CView::setViewSize(const CRect& rect) {
    size = rect;
    mouseableArea = rect;
    setDirty();
}

bool CView::removed(CView* /*parent*/) {
    parentView = nullptr;
    parentFrame = nullptr;
    return true;
}

bool CView::attached(CView* parent) {
    parentView = parent;
    return true;
}

void CView::getMouseLocation(CDrawContext* context, CPoint& point) {
    if (context != nullptr) {
        context->getMouseLocation(point);
    }
    frameToLocal(point);
}

// The view's rectangle lives in its parent's child coordinates: walk up the
// containers and take off each one's origin.
CPoint& CView::frameToLocal(CPoint& point) const {
    for (CView* p = parentView; p != nullptr; p = p->parentView) {
        if (auto* container = dynamic_cast<CViewContainer*>(p)) {
            CPoint origin = container->childOrigin();
            point.offset(-origin.h, -origin.v);
        }
    }
    return point;
}

CPoint& CView::localToFrame(CPoint& point) const {
    for (CView* p = parentView; p != nullptr; p = p->parentView) {
        if (auto* container = dynamic_cast<CViewContainer*>(p)) {
            CPoint origin = container->childOrigin();
            point.offset(origin.h, origin.v);
        }
    }
    return point;
}

void CView::setBackground(GuiBitmap* bitmap) {
    if (bitmap != nullptr) {
        bitmap->retain();
    }
    if (background != nullptr) {
        background->release();
    }
    background = bitmap;
    setDirty();
}

// rect is in the coordinates of this view's rectangle; each container on the
// way up adds its children's origin until the frame draws the area.
void CView::redrawRect(CDrawContext* context, const CRect& rect) {
    auto* container = dynamic_cast<CViewContainer*>(parentView);
    if (container == nullptr) {
        drawRect(context, rect);
        return;
    }
    CRect r = rect;
    CPoint origin = container->childOrigin();
    r.offset(origin.h, origin.v);
    container->redrawRect(context, r);
}

bool CView::isTypeOf(const char* className) const {
    return std::strcmp(className, "CView") == 0;
}

void CView::update(CDrawContext* context) {
    if (isDirty()) {
        drawRect(context, size);
        setDirty(false);
    }
}

// ---------------------------------------------------------------- CViewContainer

CViewContainer::CViewContainer(const CRect& size_, CFrame* frame, GuiBitmap* backgroundBitmap)
    : CView(size_) {
    parentFrame = frame;
    if (backgroundBitmap != nullptr) {
        setBackground(backgroundBitmap);
    }
    dirty = false;
}

CViewContainer::~CViewContainer() {
    removeAll(true);
}

void CViewContainer::propagateFrame(CFrame* frame) {
    for (CView* child : children) {
        child->parentFrame = frame;
        if (auto* container = dynamic_cast<CViewContainer*>(child)) {
            container->propagateFrame(frame);
        }
    }
}

bool CViewContainer::addView(CView* view) {
    if (view == nullptr || view == this || isChild(view)) {
        return false;
    }
    children.push_back(view);
    view->parentFrame = parentFrame;
    view->attached(this);
    if (auto* container = dynamic_cast<CViewContainer*>(view)) {
        container->propagateFrame(parentFrame);
    }
    view->setDirty();
    return true;
}

bool CViewContainer::removeView(CView* view, bool withRelease) {
    auto it = std::find(children.begin(), children.end(), view);
    if (it == children.end()) {
        return false;
    }
    children.erase(it);
    if (parentFrame != nullptr) {
        parentFrame->viewRemoved(view);
    }
    view->removed(this);
    if (withRelease) {
        view->release();
    }
    setDirty();
    return true;
}

bool CViewContainer::removeAll(bool withRelease) {
    // Taken out one by one from the end, so a view's `removed` sees a
    // consistent list.
    while (!children.empty()) {
        CView* view = children.back();
        children.pop_back();
        if (parentFrame != nullptr && parentFrame != view) {
            parentFrame->viewRemoved(view);
        }
        view->removed(this);
        if (withRelease) {
            view->release();
        }
    }
    return true;
}

bool CViewContainer::isChild(const CView* view) const {
    return std::find(children.begin(), children.end(), view) != children.end();
}

CView* CViewContainer::getView(std::int32_t index) const {
    if (index < 0 || index >= getNbViews()) {
        return nullptr;
    }
    return children[static_cast<std::size_t>(index)];
}

CView* CViewContainer::getViewAt(const CPoint& where) const {
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if ((*it)->getMouseEnabled() && (*it)->hitTest(where)) {
            return *it;
        }
    }
    return nullptr;
}

void CViewContainer::draw(CDrawContext* context) {
    drawRect(context, size);
}

void CViewContainer::drawBackgroundRect(CDrawContext* context, const CRect& rect) {
    if (background != nullptr) {
        background->draw(context, size);
    } else if (!transparent) {
        CColor oldFill = context->getFillColor();
        context->setFillColor(backgroundColor);
        context->fillRect(rect);
        context->setFillColor(oldFill);
    }
}

// updateRect is in the coordinates of this container's rectangle. The
// background is drawn there, then every child that meets it, in list order,
// each clipped to its own rectangle.
void CViewContainer::drawRect(CDrawContext* context, const CRect& updateRect) {
    CRect oldClip;
    context->getClipRect(oldClip);
    CRect area = updateRect;
    area.bound(size);
    CRect clip = area;
    clip.bound(oldClip);
    context->setClipRect(clip);
    drawBackgroundRect(context, area);

    CPoint origin = childOrigin();
    CPoint oldOffset = context->getOffset();
    context->setOffset(CPoint(oldOffset.h + origin.h, oldOffset.v + origin.v));
    CRect local = clip;
    local.offset(-origin.h, -origin.v);
    for (CView* child : children) {
        if (!child->checkUpdate(local)) {
            continue;
        }
        CRect childClip = child->getViewSize();
        childClip.bound(local);
        context->setClipRect(childClip);
        // A child drawn only in part (a window's paint of what a host's menu
        // covered) keeps a change it has pending for the idle's whole redraw,
        // though its own drawing counts itself done.
        const bool pending = child->isDirty();
        child->drawRect(context, childClip);
        child->setDirty(pending && childClip != child->getViewSize());
    }
    context->setOffset(oldOffset);
    context->setClipRect(oldClip);
    dirty = false;
}

// Topmost first: the first mouse-enabled child that accepts the point gets
// the press, and no other view does.
void CViewContainer::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    CPoint origin = childOrigin();
    CPoint local = where;
    local.offset(-origin.h, -origin.v);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (child->getMouseEnabled() && child->hitTest(local, buttons)) {
            child->mouse(context, local, buttons);
            return;
        }
    }
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    return onWheel(context, where, 0, distance);
}

bool CViewContainer::onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) {
    CPoint origin = childOrigin();
    CPoint local = where;
    local.offset(-origin.h, -origin.v);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        CView* child = *it;
        if (child->getMouseEnabled() && child->hitTest(local)) {
            return child->onWheel(context, local, axis, distance);
        }
    }
    return false;
}

std::int32_t CViewContainer::notify(CView* sender, const char* message) {
    if (message != nullptr && std::strcmp(message, kMsgCheckIfViewContainer) == 0) {
        return 1;
    }
    return CView::notify(sender, message);
}

bool CViewContainer::isDirty() const {
    if (dirty) {
        return true;
    }
    return std::any_of(children.begin(), children.end(), [](const CView* v) { return v->isDirty(); });
}

void CViewContainer::setDirty(bool state) {
    dirty = state;
    if (!state) {
        for (CView* child : children) {
            child->setDirty(false);
        }
    }
}

bool CViewContainer::attached(CView* parent) {
    CView::attached(parent);
    propagateFrame(parentFrame);
    return true;
}

bool CViewContainer::removed(CView* parent) {
    CView::removed(parent);
    propagateFrame(nullptr);
    return true;
}

bool CViewContainer::isTypeOf(const char* className) const {
    return std::strcmp(className, "CViewContainer") == 0 || CView::isTypeOf(className);
}
