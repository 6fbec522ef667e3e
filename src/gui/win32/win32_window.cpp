#include "gui/win32/win32_window.h"

#include <windowsx.h>

#include "gui/win32/win32_input.h"
#include "gui/win32/win32_pixel_transfer.h"

namespace {
constexpr UINT_PTR kTimerId = 1;
} // namespace

Win32Window::Win32Window(Win32WindowOwner& owner_, GuiWindowClient& client_)
    : owner(owner_), client(client_) {}

Win32Window::~Win32Window() {
    // A window the host destroyed with its own (WM_DESTROY came) is not
    // touched again: its handle may already name another window.
    if (alive) {
        destroying = true;
        DestroyWindow(window);
    }
    owner.windowGone(*this);
}

bool Win32Window::create(HWND parent, std::int32_t width, std::int32_t height) {
    // Clipped against the host's other children, so painting never spills
    // over them.
    window = classUse.createWindow(0, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, RECT{0, 0, width, height},
                                   parent, *this);
    if (window == nullptr) {
        return false;
    }
    alive = true;
    SetTimer(window, kTimerId, kTimerInterval, nullptr);
    return true;
}

CPoint Win32Window::screenPosition() {
    POINT origin{0, 0};
    if (!alive || !ClientToScreen(window, &origin)) {
        return CPoint(0, 0);
    }
    return CPoint(origin.x, origin.y);
}

void Win32Window::present(GuiSurface& backBuffer, const CRect& area) {
    if (!alive || area.isEmpty()) {
        return;
    }
    if (paintDc != nullptr) {
        putSurfacePixels(paintDc, backBuffer, area);
        return;
    }
    HDC dc = GetDC(window);
    putSurfacePixels(dc, backBuffer, area);
    ReleaseDC(window, dc);
}

void Win32Window::setSize(std::int32_t width, std::int32_t height) {
    if (alive) {
        SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

bool Win32Window::paintPending() {
    if (!alive || GetUpdateRect(window, nullptr, FALSE) == 0) {
        return false;
    }
    UpdateWindow(window);
    return true;
}

LRESULT Win32Window::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1; // the frame paints every pixel
    case WM_LBUTTONDOWN:
        mouseDown(hwnd, kLButton, wParam, lParam);
        return 0;
    case WM_MBUTTONDOWN:
        mouseDown(hwnd, kMButton, wParam, lParam);
        return 0;
    case WM_RBUTTONDOWN:
        mouseDown(hwnd, kRButton, wParam, lParam);
        return 0;
    case WM_MOUSEWHEEL:
    case WM_MOUSEHWHEEL:
        wheel(hwnd, message, wParam, lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kTimerId && alive) {
            owner.windowTimer(*this);
        }
        return 0;
    case WM_DESTROY:
        KillTimer(hwnd, kTimerId);
        if (!destroying) {
            destroyedByHost();
        }
        alive = false;
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

void Win32Window::paint(HWND hwnd) {
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd, &ps);
    const CRect update(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom);
    if (dc != nullptr && alive && !update.isEmpty()) {
        paintDc = dc;
        client.windowPaint(update);
        paintDc = nullptr;
    }
    EndPaint(hwnd, &ps);
}

// The pointer is captured for as long as the click is handled: a control's
// drag polls the pointer itself, and the release, wherever it happens, then
// comes to this window rather than to one of the host's.
void Win32Window::mouseDown(HWND hwnd, std::int32_t pressed, WPARAM wParam, LPARAM lParam) {
    if (!alive) {
        return;
    }
    const CPoint where(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    SetCapture(hwnd);
    client.windowMouseDown(where, buttonsFromKeyState(wParam) | pressed);
    if (GetCapture() == hwnd) {
        ReleaseCapture();
    }
}

// A notch (WHEEL_DELTA) is a distance of 1; finer wheels send parts of one.
// The position comes in screen pixels.
void Win32Window::wheel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!alive) {
        return;
    }
    POINT where{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &where);
    const float distance =
        static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / static_cast<float>(WHEEL_DELTA);
    const std::int32_t axis = message == WM_MOUSEHWHEEL ? 1 : 0;
    client.windowWheel(CPoint(where.x, where.y), distance, axis,
                       buttonsFromKeyState(GET_KEYSTATE_WPARAM(wParam)));
}

void Win32Window::destroyedByHost() {
    if (alive) {
        alive = false;
        client.windowDestroyed();
    }
}
