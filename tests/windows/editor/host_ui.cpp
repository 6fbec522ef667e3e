#include "host_ui.h"

#include <algorithm>

namespace {

constexpr UINT kCallMessage = WM_APP + 1;
constexpr UINT kQuitMessage = WM_APP + 2;
constexpr UINT_PTR kIdleTimer = 1;
constexpr UINT kIdleInterval = 33;
const wchar_t* const kCallClass = L"VornhaltTestHostCalls";
const wchar_t* const kWindowClass = L"VornhaltTestHostWindow";

void registerClasses() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = DefWindowProcW;
    info.hInstance = GetModuleHandleW(nullptr);
    info.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    info.lpszClassName = kWindowClass;
    RegisterClassExW(&info);
}

} // namespace

HostUi::HostUi() {
    registerClasses();
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = procedure;
    info.hInstance = GetModuleHandleW(nullptr);
    info.lpszClassName = kCallClass;
    RegisterClassExW(&info);
    callWindow = CreateWindowExW(0, kCallClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    SetWindowLongPtrW(callWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetTimer(callWindow, kIdleTimer, kIdleInterval, nullptr);
}

HostUi::~HostUi() {
    DestroyWindow(callWindow);
}

void HostUi::run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void HostUi::quit() {
    PostMessageW(callWindow, kQuitMessage, 0, 0);
}

void HostUi::call(const std::function<void()>& work) {
    SendMessageW(callWindow, kCallMessage, 0, reinterpret_cast<LPARAM>(&work));
}

void HostUi::setIdling(HostedEffect* effect, bool idling) {
    idled.erase(std::remove(idled.begin(), idled.end(), effect), idled.end());
    if (idling) {
        idled.push_back(effect);
    }
}

HWND HostUi::makeWindow(int x, int y, int width, int height) {
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowExW(0, kWindowClass, L"Vornhalt editor test", style, x + frame.left,
                                  y + frame.top, frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return window;
}

void HostUi::idleEditors() {
    const std::vector<HostedEffect*> current = idled;
    for (HostedEffect* effect : current) {
        effect->dispatch(vst2::effEditIdle);
    }
}

LRESULT CALLBACK HostUi::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<HostUi*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case kCallMessage:
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    case kQuitMessage:
        PostQuitMessage(0);
        return 0;
    case WM_TIMER:
        if (self != nullptr && wParam == kIdleTimer) {
            self->idleEditors();
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
