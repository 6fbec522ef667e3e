#include "user_input.h"

#include <cwchar>

POINT toScreen(HWND window, POINT client) {
    ClientToScreen(window, &client);
    return client;
}

// As injected input, not SetCursorPos: under Wine a pointer warp reaches the
// window through the X server, whose idea of the buttons and modifiers (none
// held) then replaces the injected ones. Absolute coordinates run from 0 to
// 65535 across the screen.
void movePointer(POINT screen) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(screen.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(screen.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof input);
    Sleep(20);
}

void pressButton(int button, bool down) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    if (button == VK_RBUTTON) {
        input.mi.dwFlags = down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP;
    } else {
        input.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
    }
    SendInput(1, &input, sizeof input);
    Sleep(30);
}

void pressKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
    Sleep(30);
}

// The drag loop polls the pointer with a throttled idle: each step waits long
// enough to be seen, and the last position is held before the release. The
// press waits until the window has taken in the move before it (see
// dragPointer in the header).
void dragPointer(POINT from, POINT to) {
    movePointer(from);
    Sleep(100);
    pressButton(VK_LBUTTON, true);
    constexpr int kSteps = 8;
    for (int i = 1; i <= kSteps; ++i) {
        movePointer(POINT{from.x + (to.x - from.x) * i / kSteps, from.y + (to.y - from.y) * i / kSteps});
        Sleep(20);
    }
    Sleep(250);
    pressButton(VK_LBUTTON, false);
    Sleep(150);
}

void postClick(HWND window, UINT downMessage, WPARAM keys, POINT client) {
    const LPARAM where = MAKELPARAM(client.x, client.y);
    const UINT upMessage = downMessage + 1; // WM_xBUTTONUP follows each WM_xBUTTONDOWN
    PostMessageW(window, downMessage, keys, where);
    PostMessageW(window, upMessage, keys & ~static_cast<WPARAM>(MK_LBUTTON | MK_RBUTTON | MK_MBUTTON), where);
}

void postWheel(HWND window, int delta, POINT client) {
    const POINT screen = toScreen(window, client);
    PostMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(static_cast<short>(delta))),
                 MAKELPARAM(screen.x, screen.y));
}

bool waitFor(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= milliseconds) {
            return done();
        }
        Sleep(10);
    }
    return true;
}

namespace {
struct PopupSearch {
    DWORD thread;
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK visitWindow(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<PopupSearch*>(parameter);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (GetWindowThreadProcessId(window, nullptr) == search->thread && IsWindowVisible(window) &&
        (GetWindowLongW(window, GWL_STYLE) & WS_POPUP) != 0 && std::wcscmp(name, search->className) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

HWND findPopup(HWND owner, const wchar_t* className) {
    PopupSearch search{GetWindowThreadProcessId(owner, nullptr), className, nullptr};
    EnumWindows(visitWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
