#include "gui/gui_editor.h"

#include "gui/control.h"
#include "gui/view.h"

namespace {
// Steps of the throttled idle, in milliseconds.
constexpr std::uint32_t kIdleSleep = 4;      // a poll that comes too early waits this long
constexpr std::uint32_t kIdleEarly = 50;     // and goes ahead when at most this much early
constexpr std::uint32_t kIdleInterval = 100; // the next idle is allowed this long after one

// Tick counts wrap: compare through the signed difference.
bool earlier(std::uint32_t a, std::uint32_t b) {
    return static_cast<std::int32_t>(a - b) < 0;
}
} // namespace

GuiEditor::GuiEditor(GuiHost* host_, std::unique_ptr<GuiPlatform> platform_)
    : host(host_), platform(std::move(platform_)) {
    nextIdleTime = platform != nullptr ? platform->tickCount() : 0;
}

GuiEditor::~GuiEditor() {
    deleteFrame();
}

void GuiEditor::deleteFrame() {
    if (frame != nullptr) {
        CFrame* old = frame;
        frame = nullptr;
        old->release();
    }
}

bool GuiEditor::getRect(GuiEditorRect** rectOut) {
    if (rectOut != nullptr) {
        *rectOut = &rect;
    }
    return true;
}

bool GuiEditor::open(void* parentWindow_) {
    postUpdate();
    parentWindow = parentWindow_;
    return false;
}

void GuiEditor::close() {}

void GuiEditor::idle() {
    if (inIdle) {
        return;
    }
    // The window's events are handled here, on the thread that opened it;
    // not again while one of them (a drag, a pop-up) is being handled.
    if (!handlingEvents && frame != nullptr && platform != nullptr) {
        handlingEvents = true;
        platform->processEvents();
        handlingEvents = false;
    }
    if (updateFlag.exchange(false, std::memory_order_acquire)) {
        update();
    }
    if (frame != nullptr) {
        frame->idle();
    }
}

void GuiEditor::setParameter(std::int32_t /*index*/, float /*value*/) {
    postUpdate();
}

std::int32_t GuiEditor::onKeyDown(CKeyCode& key) {
    return frame != nullptr ? frame->onKeyDown(key) : -1;
}

std::int32_t GuiEditor::onKeyUp(CKeyCode& key) {
    return frame != nullptr ? frame->onKeyUp(key) : -1;
}

bool GuiEditor::onWheel(float distance) {
    if (frame == nullptr) {
        return false;
    }
    CDrawContext* context = frame->createWindowContext();
    CPoint where;
    context->getMouseLocation(where);
    bool handled = frame->onWheel(context, where, distance);
    context->release();
    return handled;
}

std::int32_t GuiEditor::setKnobMode(std::int32_t mode) {
    CKnob::setKnobMode(mode);
    return 1;
}

void GuiEditor::throttledIdle() {
    if (platform == nullptr) {
        return;
    }
    std::uint32_t now = platform->tickCount();
    if (earlier(now, nextIdleTime)) {
        platform->sleep(kIdleSleep);
        now += kIdleSleep;
        if (earlier(now, nextIdleTime - kIdleEarly)) {
            return;
        }
    }
    idle();
    platform->dispatchPendingPaint();
    nextIdleTime = now + kIdleInterval;
    inIdle = true;
    if (host != nullptr) {
        host->idle();
    }
    inIdle = false;
}

void GuiEditor::beginEdit(std::int32_t index) {
    if (host != nullptr) {
        host->beginEdit(index);
    }
}

void GuiEditor::endEdit(std::int32_t index) {
    if (host != nullptr) {
        host->endEdit(index);
    }
}
