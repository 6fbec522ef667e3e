#pragma once

// The host's UI thread (the program's main thread): its message loop, its
// top-level windows, and the editor idle it sends about 30 times a second.
// The checks run on another thread, as a user would act, and have the UI
// thread do what a host does (open, close, idle) through call().

#include <windows.h>

#include <functional>
#include <vector>

#include "vst_host.h"

class HostUi {
public:
    // [main thread]
    HostUi();
    ~HostUi();
    HostUi(const HostUi&) = delete;
    HostUi& operator=(const HostUi&) = delete;

    // [main thread] Handles messages until quit().
    void run();
    // [any thread]
    void quit();
    // [any thread but the UI one] Runs `work` on the UI thread and waits for
    // it. Not while the UI thread is inside a drag (it reads no message then).
    void call(const std::function<void()>& work);

    // [UI thread] Whether the host's idle timer idles this effect's editor.
    void setIdling(HostedEffect* effect, bool idling);
    // [UI thread] A shown top-level window whose client area is width x
    // height with its top-left corner at (x, y) on the screen.
    HWND makeWindow(int x, int y, int width, int height);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void idleEditors();

    HWND callWindow = nullptr;
    std::vector<HostedEffect*> idled;
};
