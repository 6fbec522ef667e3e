#pragma once

// The frame's native window: a child of the host's window, of the module's
// window class. Its paint requests, clicks and wheel turns go to the frame
// (the window's client) as the host's message loop dispatches them; its timer
// goes to the platform, which decides whether the editor needs idling.
//
// Threads: [ui thread; any state] everything, still safe after the host
// destroyed the window.

#include <windows.h>

#include <cstdint>

#include "gui/platform.h"
#include "gui/win32/win32_window_class.h"

class Win32Window;

// What a window asks of the platform that made it.
class Win32WindowOwner {
public:
    // [ui thread] The window object goes away.
    virtual void windowGone(Win32Window& window) = 0;
    // [ui thread] The window's timer fired.
    virtual void windowTimer(Win32Window& window) = 0;

protected:
    ~Win32WindowOwner() = default;
};

class Win32Window final : public GuiWindow, private Win32WindowTarget {
public:
    // How often the window's timer fires, in milliseconds.
    static constexpr UINT kTimerInterval = 50;

    Win32Window(Win32WindowOwner& owner, GuiWindowClient& client);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    // Makes the child window of `parent`, shown; false when it cannot be made.
    bool create(HWND parent, std::int32_t width, std::int32_t height);

    void* nativeHandle() const override { return window; }
    CPoint screenPosition() override;
    void present(GuiSurface& backBuffer, const CRect& area) override;
    void setSize(std::int32_t width, std::int32_t height) override;

    HWND handle() const { return window; }
    bool isAlive() const { return alive; }
    GuiWindowClient& windowClient() { return client; }
    // Paints now what waits to be painted; false when nothing waited.
    bool paintPending();

private:
    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;
    void paint(HWND hwnd);
    void mouseDown(HWND hwnd, std::int32_t pressed, WPARAM wParam, LPARAM lParam);
    void wheel(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void destroyedByHost();

    Win32WindowOwner& owner;
    GuiWindowClient& client;
    Win32ClassUse classUse;
    HWND window = nullptr;
    // While a paint message is handled: what it draws into.
    HDC paintDc = nullptr;
    bool alive = false;
    bool destroying = false;
};
