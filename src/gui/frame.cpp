#include "gui/frame.h"

#include <algorithm>
#include <cstring>

#include "gui/gui_editor.h"

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
    ++clicksInHand;
    mouse(context, where, buttons);
    --clicksInHand;
    context->release();
}

void CFrame::windowWheel(CPoint where, float distance, std::int32_t axis, std::int32_t /*buttons*/) {
    CDrawContext* context = createWindowContext();
    onWheel(context, where, axis, distance);
    context->release();
}

// A click, drag or pop-up idles the editor itself; no idle may run inside one.
void CFrame::windowIdle() {
    if (editor != nullptr && clicksInHand == 0) {
        editor->idle();
    }
}

void CFrame::windowDestroyed() {
    open = false;
    parentWindow = nullptr;
}
