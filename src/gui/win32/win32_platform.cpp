#include "gui/win32/win32_platform.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/win32/win32_input.h"
#include "gui/win32/win32_popup.h"
#include "gui/win32/win32_window.h"

namespace {

// A host that idled the editor at most this long ago still idles it: the
// windows' timers leave the editor to it.
constexpr std::uint32_t kHostIdleGrace = 250;

class Win32Platform final : public GuiPlatform, private Win32WindowOwner {
public:
    std::unique_ptr<GuiWindow> createWindow(void* parent, std::int32_t width, std::int32_t height,
                                            GuiWindowClient& client) override;
    std::unique_ptr<GuiSurface> createSurface(std::int32_t width, std::int32_t height) override {
        return makeCairoSurface(width, height);
    }
    std::int32_t pointerState(GuiWindow* window, CPoint* where) override;
    std::uint32_t tickCount() override { return GetTickCount(); }
    void sleep(std::uint32_t milliseconds) override { Sleep(milliseconds); }
    std::uint32_t doubleClickTime() override { return GetDoubleClickTime(); }
    std::int32_t popupMenu(GuiWindow& owner, const GuiPopupMenu& menu, CPoint screenPosition,
                           bool rightButton, GuiMenuPainter& painter) override;
    void processEvents() override;
    bool dispatchPendingPaint() override;

private:
    void windowGone(Win32Window& window) override {
        windows.erase(std::remove(windows.begin(), windows.end(), &window), windows.end());
    }
    void windowTimer(Win32Window& window) override;
    bool isListed(const Win32Window* window) const {
        return std::find(windows.begin(), windows.end(), window) != windows.end();
    }

    std::vector<Win32Window*> windows;
    // When the editor's idle last came from anyone but a window's timer.
    std::uint32_t lastHostIdle = 0;
    bool idlingFromTimer = false;
};

std::unique_ptr<GuiWindow> Win32Platform::createWindow(void* parent, std::int32_t width, std::int32_t height,
                                                       GuiWindowClient& client) {
    HWND parentWindow = static_cast<HWND>(parent);
    if (parentWindow == nullptr || width <= 0 || height <= 0 || !IsWindow(parentWindow)) {
        return nullptr;
    }
    auto window = std::make_unique<Win32Window>(static_cast<Win32WindowOwner&>(*this), client);
    windows.push_back(window.get());
    if (!window->create(parentWindow, width, height)) {
        return nullptr; // the window object unlists itself
    }
    lastHostIdle = GetTickCount();
    return window;
}

std::int32_t Win32Platform::pointerState(GuiWindow* window, CPoint* where) {
    auto* win32 = static_cast<Win32Window*>(window);
    if (win32 == nullptr || !win32->isAlive()) {
        return 0;
    }
    POINT pointer{0, 0};
    if (where != nullptr && GetCursorPos(&pointer) && ScreenToClient(win32->handle(), &pointer)) {
        *where = CPoint(pointer.x, pointer.y);
    }
    return buttonsHeldNow();
}

// The host's loop delivers the windows' messages; a paint request is the one
// kind it may not have come to (it waits behind every other message), and a
// drag or the host's own work may hold the loop for a while.
void Win32Platform::processEvents() {
    if (!idlingFromTimer) {
        lastHostIdle = GetTickCount();
    }
    const std::vector<Win32Window*> current = windows;
    for (Win32Window* window : current) {
        if (isListed(window)) {
            window->paintPending();
        }
    }
}

bool Win32Platform::dispatchPendingPaint() {
    const std::vector<Win32Window*> current = windows;
    for (Win32Window* window : current) {
        if (isListed(window) && window->paintPending()) {
            return true;
        }
    }
    return false;
}

// Hosts that never idle the editor (or stop for long) still see it move with
// its parameters. (The frame holds this idle back while a click is handled.)
void Win32Platform::windowTimer(Win32Window& window) {
    if (idlingFromTimer) {
        return;
    }
    if (GetTickCount() - lastHostIdle < kHostIdleGrace) {
        return;
    }
    idlingFromTimer = true;
    window.windowClient().windowIdle();
    idlingFromTimer = false;
}

std::int32_t Win32Platform::popupMenu(GuiWindow& owner, const GuiPopupMenu& menu, CPoint screenPosition,
                                      bool rightButton, GuiMenuPainter& painter) {
    auto& window = static_cast<Win32Window&>(owner);
    if (!window.isAlive() || menu.items.empty()) {
        return -1;
    }
    return runWin32PopupMenu(window.handle(), menu, screenPosition, rightButton, painter);
}

} // namespace

std::unique_ptr<GuiPlatform> createWin32Platform() {
    return std::make_unique<Win32Platform>();
}
