#include "gui/win32/win32_window_class.h"

#include <cstdint>
#include <cwchar>
#include <mutex>

namespace {

LRESULT CALLBACK moduleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The module this code was linked into (the plug-in's DLL, not the host's
// program): found from an address inside it.
HMODULE findModule(DWORD extraFlags) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | extraFlags,
                       reinterpret_cast<LPCWSTR>(&moduleWindowProc), &module);
    return module;
}

struct ClassState {
    std::mutex mutex;
    int users = 0;
    bool pinned = false;
};

ClassState& classState() {
    static ClassState state;
    return state;
}

// Cairo is first used once a window opens. Built in statically it has no
// way to be torn down (its locks and the GDI fonts of its font caches are
// made for the life of the process), so from then on the module stays loaded
// even when the host frees it, as the Linux module does with -z nodelete.
void pinModule(ClassState& state) {
    if (!state.pinned) {
        state.pinned = findModule(GET_MODULE_HANDLE_EX_FLAG_PIN) != nullptr;
    }
}

bool registerClass() {
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = moduleWindowProc;
    info.hInstance = win32ModuleInstance();
    info.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    // No background brush and no double-click class style: the windows paint
    // every pixel themselves, and the toolkit tells double clicks apart on
    // its own from two plain presses.
    info.lpszClassName = win32WindowClassName();
    return RegisterClassExW(&info) != 0;
}

// A C++ exception must not unwind through the system's frames around a window
// procedure: one that reaches here ends the message as unhandled.
LRESULT CALLBACK moduleWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* target = reinterpret_cast<Win32WindowTarget*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        target = nullptr;
    }
    if (target == nullptr || message == WM_NCCREATE) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return target->handleMessage(window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

const wchar_t* win32WindowClassName() {
    static const wchar_t* name = [] {
        static wchar_t text[40];
        std::swprintf(
            text, sizeof text / sizeof text[0], L"Plugin%llx",
            static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(win32ModuleInstance())));
        return text;
    }();
    return name;
}

HINSTANCE win32ModuleInstance() {
    static const HMODULE module = findModule(GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT);
    return module;
}

Win32ClassUse::Win32ClassUse() {
    ClassState& state = classState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.users == 0 && !registerClass()) {
        return;
    }
    ++state.users;
    registered = true;
    pinModule(state);
}

Win32ClassUse::~Win32ClassUse() {
    if (!registered) {
        return;
    }
    ClassState& state = classState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (--state.users == 0) {
        UnregisterClassW(win32WindowClassName(), win32ModuleInstance());
    }
}

HWND Win32ClassUse::createWindow(DWORD exStyle, DWORD style, RECT area, HWND parent,
                                 Win32WindowTarget& target) const {
    if (!registered) {
        return nullptr;
    }
    return CreateWindowExW(exStyle, win32WindowClassName(), L"", style, area.left, area.top,
                           area.right - area.left, area.bottom - area.top, parent, nullptr,
                           win32ModuleInstance(), &target);
}
