#pragma once

// The window class every window of the module belongs to (editor frames and
// pop-up menu levels), registered with the module's own instance handle under
// "Plugin" and that handle in hexadecimal, so two modules (or two copies of
// this one) never share a class. It is registered by the first window that
// needs it and unregistered when the last one is gone, so a host that unloads
// the module finds no class pointing into freed code.
//
// Each window hands its messages to a `Win32WindowTarget`, whose address
// travels in the window's creation parameter and then in its user data.
//
// Threads: editors on different UI threads may make windows at the same time;
// the use count is kept under a lock. Each window's messages come on the
// thread that made it.

#include <windows.h>

// What a window of the class tells its owner.
class Win32WindowTarget {
public:
    // [the window's thread] Every message but WM_NCCREATE and WM_NCDESTROY;
    // the answer is the window procedure's.
    virtual LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~Win32WindowTarget() = default;
};

// Holds the class registered while it lives.
// [ui thread; any state]
class Win32ClassUse {
public:
    Win32ClassUse();
    ~Win32ClassUse();
    Win32ClassUse(const Win32ClassUse&) = delete;
    Win32ClassUse& operator=(const Win32ClassUse&) = delete;

    // False when the class could not be registered.
    bool isRegistered() const { return registered; }

    // A window of the class whose messages go to `target` (which must outlive
    // it); null when it cannot be made.
    HWND createWindow(DWORD exStyle, DWORD style, RECT area, HWND parent, Win32WindowTarget& target) const;

private:
    bool registered = false;
};

// [any thread] The class name ("Plugin" and the module handle in hex) and the
// module's instance handle.
const wchar_t* win32WindowClassName();
HINSTANCE win32ModuleInstance();
