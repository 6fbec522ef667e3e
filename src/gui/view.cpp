#include "gui/view.h"

#include <algorithm>
#include <cstring>

#include "gui/gui_bitmap.h"
#include "gui/gui_editor.h"

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
        child->drawRect(context, childClip);
        child->setDirty(false);
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

// ---------------------------------------------------------------- CFrame

CFrame::CFrame(const CRect& size_, void* parentWindow_, GuiEditor* editor_)
    : CViewContainer(size_, this), editor(editor_),
      platform(editor_ != nullptr ? editor_->getPlatform() : nullptr), parentWindow(parentWindow_) {
    parentFrame = this;
    // The frame's origin is the window's top-left pixel.
    size.moveTo(0, 0);
    mouseableArea = size;
    if (platform != nullptr && parentWindow != nullptr) {
        window = platform->createWindow(parentWindow, size.width(), size.height(), *this);
    }
    open = window != nullptr;
}

CFrame::~CFrame() {
    setModalView(nullptr);
    focusView = nullptr;
    if (backBuffer != nullptr) {
        backBuffer->release();
        backBuffer = nullptr;
    }
    window.reset();
    open = false;
    removeAll(true);
}

void* CFrame::getNativeWindow() const {
    return window != nullptr ? window->nativeHandle() : nullptr;
}

COffscreenContext* CFrame::getBackBuffer() {
    if (backBuffer == nullptr && platform != nullptr) {
        auto* buffer = new COffscreenContext(this, size.width(), size.height(), kBlackCColor);
        if (!buffer->isValid()) {
            buffer->release();
            return nullptr;
        }
        backBuffer = buffer;
    }
    return backBuffer;
}

void CFrame::presentBackBuffer(const CRect* area) {
    if (window == nullptr || backBuffer == nullptr || !open) {
        return;
    }
    CRect all(0, 0, size.width(), size.height());
    CRect r = area != nullptr ? *area : all;
    r.bound(all);
    backBuffer->getSurface()->flush();
    window->present(*backBuffer->getSurface(), r);
}

CDrawContext* CFrame::createWindowContext() {
    return new CDrawContext(this, getBackBuffer() ? backBuffer->getSurface() : nullptr);
}

// Drawing the frame clears the first-draw flag: from then on the idle may
// redraw what changed.
void CFrame::drawRect(CDrawContext* context, const CRect& updateRect) {
    firstDraw = false;
    CRect area = updateRect;
    area.bound(CRect(0, 0, size.width(), size.height()));
    CViewContainer::drawRect(context, area);
}

void CFrame::redrawRect(CDrawContext* context, const CRect& rect) {
    drawRect(context, rect);
}

void CFrame::idle() {
    if (!open || firstDraw || !isDirty()) {
        return;
    }
    COffscreenContext* buffer = getBackBuffer();
    if (buffer == nullptr) {
        return;
    }
    buffer->setOffset(CPoint(0, 0));
    buffer->resetClipRect();
    if (dirty) {
        drawRect(buffer, CRect(0, 0, size.width(), size.height()));
        dirty = false;
    } else {
        // Index-based: a view's drawing never changes the list, but stay safe.
        for (std::size_t i = 0; i < children.size(); ++i) {
            CView* child = children[i];
            if (!child->isDirty()) {
                continue;
            }
            CRect r = child->getViewSize();
            buffer->setClipRect(r);
            child->redrawRect(buffer, r);
            child->setDirty(false);
            buffer->resetClipRect();
        }
    }
    presentBackBuffer(nullptr);
}

void CFrame::runThrottledIdle() {
    if (editor != nullptr) {
        editor->throttledIdle();
    }
}

void CFrame::setModalView(CView* view) {
    if (view == modalView) {
        return;
    }
    if (modalView != nullptr) {
        removeView(modalView, true);
    }
    modalView = view;
    if (modalView != nullptr) {
        addView(modalView);
    }
}

void CFrame::setFocusView(CView* view) {
    if (view == focusView) {
        return;
    }
    CView* old = focusView;
    focusView = view;
    if (old != nullptr) {
        old->loseFocus(nullptr);
    }
    if (focusView != nullptr) {
        focusView->takeFocus(nullptr);
    }
}

bool CFrame::advanceNextFocusView(CView* current, bool reverse) {
    if (children.empty()) {
        return false;
    }
    std::ptrdiff_t count = static_cast<std::ptrdiff_t>(children.size());
    std::ptrdiff_t index = -1;
    if (current != nullptr) {
        auto it = std::find(children.begin(), children.end(), current);
        if (it != children.end()) {
            index = it - children.begin();
        }
    }
    std::ptrdiff_t next;
    if (index < 0) {
        next = reverse ? count - 1 : 0;
    } else {
        next = reverse ? index - 1 : index + 1;
    }
    if (next < 0 || next >= count) {
        return false;
    }
    setFocusView(children[static_cast<std::size_t>(next)]);
    return true;
}

std::int32_t CFrame::onKeyDown(CKeyCode& key) {
    std::int32_t result = -1;
    if (focusView != nullptr) {
        result = focusView->onKeyDown(key);
    }
    if (result == -1 && modalView != nullptr) {
        result = modalView->onKeyDown(key);
    }
    if (result == -1 && key.virt == VKEY_TAB) {
        result = advanceNextFocusView(focusView, (key.modifier & MODIFIER_SHIFT) != 0) ? 1 : -1;
    }
    return result;
}

std::int32_t CFrame::onKeyUp(CKeyCode& key) {
    std::int32_t result = -1;
    if (focusView != nullptr) {
        result = focusView->onKeyUp(key);
    }
    if (result == -1 && modalView != nullptr) {
        result = modalView->onKeyUp(key);
    }
    return result;
}

void CFrame::mouse(CDrawContext* context, CPoint& where, std::int32_t buttons) {
    setFocusView(nullptr);
    if (modalView != nullptr) {
        modalView->mouse(context, where, buttons);
        return;
    }
    CViewContainer::mouse(context, where, buttons);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, float distance) {
    return onWheel(context, where, 0, distance);
}

bool CFrame::onWheel(CDrawContext* context, const CPoint& where, std::int32_t axis, float distance) {
    if (modalView != nullptr) {
        return modalView->onWheel(context, where, axis, distance);
    }
    return CViewContainer::onWheel(context, where, axis, distance);
}

bool CFrame::isTypeOf(const char* className) const {
    return std::strcmp(className, "CFrame") == 0 || CViewContainer::isTypeOf(className);
}

void CFrame::beginEdit(std::int32_t tag) {
    if (editor != nullptr) {
        editor->beginEdit(tag);
    }
}

void CFrame::endEdit(std::int32_t tag) {
    if (editor != nullptr) {
        editor->endEdit(tag);
    }
}

CPoint CFrame::localToScreen(CPoint point) {
    if (window != nullptr) {
        CPoint origin = window->screenPosition();
        point.offset(origin.h, origin.v);
    }
    return point;
}

bool CFrame::setSize(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) {
        return false;
    }
    if (editor != nullptr && editor->getHost() != nullptr && editor->getHost()->canHostDo("sizeWindow")) {
        if (!editor->getHost()->sizeWindow(width, height)) {
            return false;
        }
    }
    size.right = size.left + width;
    size.bottom = size.top + height;
    mouseableArea = size;
    if (window != nullptr) {
        window->setSize(width, height);
    }
    if (backBuffer != nullptr) {
        backBuffer->release();
        backBuffer = nullptr;
    }
    dirty = true;
    return true;
}

void CFrame::viewRemoved(CView* view) {
    if (view == focusView) {
        focusView = nullptr;
    }
    if (view == modalView) {
        modalView = nullptr;
    }
}

void CFrame::windowPaint(const CRect& updateRect) {
    COffscreenContext* buffer = getBackBuffer();
    if (buffer == nullptr || updateRect.isEmpty()) {
        return;
    }
    buffer->setOffset(CPoint(0, 0));
    buffer->resetClipRect();
    drawRect(buffer, updateRect);
    buffer->resetClipRect();
    presentBackBuffer(&updateRect);
}

void CFrame::windowMouseDown(CPoint where, std::int32_t buttons) {
    CDrawContext* context = createWindowContext();
    mouse(context, where, buttons);
    context->release();
}

void CFrame::windowWheel(CPoint where, float distance, std::int32_t axis, std::int32_t /*buttons*/) {
    CDrawContext* context = createWindowContext();
    onWheel(context, where, axis, distance);
    context->release();
}

void CFrame::windowDestroyed() {
    open = false;
    parentWindow = nullptr;
}
