#include "gui/win32/win32_popup.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/popup_navigation.h"
#include "gui/win32/win32_pixel_transfer.h"
#include "gui/win32/win32_window_class.h"

namespace {

class PopupSession;

// One open level's window and the canvas it shows.
class LevelWindow final : private Win32WindowTarget {
public:
    explicit LevelWindow(PopupSession& owningSession) : session(owningSession) {}
    ~LevelWindow() {
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }
    LevelWindow(const LevelWindow&) = delete;
    LevelWindow& operator=(const LevelWindow&) = delete;

    // Makes the window, showing the canvas, without taking the focus from the
    // host.
    bool show(HWND owner, CPoint origin, CPoint size);
    // Shows the canvas again.
    void present();

    std::unique_ptr<CairoSurface> canvas;
    HWND handle() const { return window; }

private:
    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    PopupSession& session;
    Win32ClassUse classUse;
    HWND window = nullptr;
};

// An open pop-up: a window per level of the navigation, and the messages
// read while it is open.
class PopupSession final : private PopupLevelWindows {
public:
    PopupSession(HWND ownerWindow, GuiMenuPainter& menuPainter, bool rightButtonChooses)
        : owner(GetAncestor(ownerWindow, GA_ROOT)), painter(menuPainter),
          navigation(*this, menuPainter, measure, rightButtonChooses) {}
    ~PopupSession() override {
        // Let go of the pointer first: the levels' windows are gone next.
        if (!windows.empty() && GetCapture() == windows.front()->handle()) {
            ReleaseCapture();
        }
        navigation.closeAll();
    }
    PopupSession(const PopupSession&) = delete;
    PopupSession& operator=(const PopupSession&) = delete;

    bool open(const GuiPopupMenu& menu, CPoint origin) { return navigation.open(menu, origin); }
    HWND firstWindow() const { return windows.front()->handle(); }
    // A message read from the thread's queue while the menu is open; false
    // when it is not the menu's (it is dispatched as usual then).
    bool take(const MSG& message);
    void dismiss() { navigation.dismiss(); }
    bool isDone() const { return navigation.isDone(); }
    std::int32_t result() const { return navigation.result(); }

private:
    bool showLevel(PopupLevel& level) override;
    void closeLevel() override { windows.pop_back(); }
    void redrawLevel(std::size_t index) override;
    void mouse(UINT message, CPoint screen);
    void key(WPARAM virtualKey);

    HWND owner;
    GuiMenuPainter& painter;
    CairoSurface measure{1, 1};
    std::vector<std::unique_ptr<LevelWindow>> windows;
    PopupNavigation navigation;
};

// ---------------------------------------------------------------- LevelWindow

bool LevelWindow::show(HWND owner, CPoint origin, CPoint size) {
    // Tool windows stay off the task bar; no-activate keeps the host's window
    // the active one, as with the system's own menus.
    window =
        classUse.createWindow(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, WS_POPUP,
                              RECT{origin.h, origin.v, origin.h + size.h, origin.v + size.v}, owner, *this);
    if (window == nullptr) {
        return false;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return true;
}

void LevelWindow::present() {
    if (window != nullptr) {
        HDC dc = GetDC(window);
        putSurfacePixels(dc, *canvas, CRect(0, 0, canvas->width(), canvas->height()));
        ReleaseDC(window, dc);
    }
}

LRESULT LevelWindow::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc != nullptr && canvas != nullptr) {
            putSurfacePixels(dc, *canvas,
                             CRect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_CAPTURECHANGED:
        // Another window took the pointer (the user switched to another
        // program, say): the menu can no longer see the clicks meant for it.
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            session.dismiss();
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------- PopupSession

// Kept on the monitor the corner lies on, clear of the task bar.
CPoint keepOnMonitor(CPoint origin, CPoint size) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromPoint(POINT{origin.h, origin.v}, MONITOR_DEFAULTTONEAREST), &info)) {
        const RECT& work = info.rcWork;
        origin.h = std::max<std::int32_t>(work.left, std::min<std::int32_t>(origin.h, work.right - size.h));
        origin.v = std::max<std::int32_t>(work.top, std::min<std::int32_t>(origin.v, work.bottom - size.v));
    }
    return origin;
}

// The canvas is drawn before the window shows, so its first paint has it.
bool PopupSession::showLevel(PopupLevel& level) {
    const CPoint size = level.windowSize();
    auto shown = std::make_unique<LevelWindow>(*this);
    shown->canvas = std::make_unique<CairoSurface>(size.h, size.v);
    renderPopupLevel(level, painter, *shown->canvas);
    level.origin = keepOnMonitor(level.origin, size);
    if (!shown->show(owner, level.origin, size)) {
        return false;
    }
    windows.push_back(std::move(shown));
    return true;
}

void PopupSession::redrawLevel(std::size_t index) {
    LevelWindow& shown = *windows[index];
    renderPopupLevel(navigation.level(index), painter, *shown.canvas);
    shown.present();
}

void PopupSession::mouse(UINT message, CPoint screen) {
    switch (message) {
    case WM_MOUSEMOVE:
        navigation.pointerMoved(screen);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        navigation.buttonPressed(screen);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        navigation.buttonReleased(screen, message == WM_RBUTTONUP);
        break;
    default:
        break;
    }
}

void PopupSession::key(WPARAM virtualKey) {
    switch (virtualKey) {
    case VK_ESCAPE:
        navigation.keyPressed(PopupNavigation::Key::Escape);
        break;
    case VK_RETURN:
        navigation.keyPressed(PopupNavigation::Key::Return);
        break;
    case VK_UP:
        navigation.keyPressed(PopupNavigation::Key::Up);
        break;
    case VK_DOWN:
        navigation.keyPressed(PopupNavigation::Key::Down);
        break;
    default:
        break;
    }
}

// Mouse messages come with the coordinates of the window they were meant for
// (with the capture, the first level's), non-client ones with the screen's.
bool PopupSession::take(const MSG& message) {
    const UINT id = message.message;
    if (id == WM_MOUSEWHEEL || id == WM_MOUSEHWHEEL) {
        return true; // the wheel does not close the menu
    }
    if (id >= WM_MOUSEFIRST && id <= WM_MOUSELAST) {
        POINT where{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        if (message.hwnd != nullptr) {
            ClientToScreen(message.hwnd, &where);
        }
        mouse(id, CPoint(where.x, where.y));
        return true;
    }
    if (id >= WM_NCMOUSEMOVE && id <= WM_NCXBUTTONDBLCLK) {
        mouse(id - WM_NCMOUSEMOVE + WM_MOUSEMOVE,
              CPoint(GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)));
        return true;
    }
    if (id >= WM_KEYFIRST && id <= WM_KEYLAST) {
        if (id == WM_KEYDOWN || id == WM_SYSKEYDOWN) {
            key(message.wParam);
        }
        return true;
    }
    return false;
}

// Reads the thread's messages until the menu is done. Everything that is not
// input is dispatched, so paints (the frame's and the host's) and the host's
// timers go on; a quit request ends the menu and is posted again for the
// host's loop.
void runMessageLoop(PopupSession& session) {
    while (!session.isDone()) {
        MSG message;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            session.dismiss();
        } else if (!session.take(message)) {
            DispatchMessageW(&message);
        }
    }
}

} // namespace

std::int32_t runWin32PopupMenu(HWND owner, const GuiPopupMenu& menu, CPoint screenPosition, bool rightButton,
                               GuiMenuPainter& painter) {
    PopupSession session(owner, painter, rightButton);
    if (!session.open(menu, screenPosition)) {
        return -1;
    }
    SetCapture(session.firstWindow());
    runMessageLoop(session);
    return session.result();
}
