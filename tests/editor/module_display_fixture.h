#pragma once

// The built module in our own host, with an X server for its editor: the
// fixture of the suites that open the module's editor in a host's windows.

#include "support/x11_display_fixture.h"

#include <vector>

#include "host/plugin_host.h"

// Last: Xlib's macros would clash with the C++ headers.
#include <X11/Xlib.h>

// The child windows of `window`, once the server has handled every request.
inline std::vector<Window> childWindows(Display* display, Window window) {
    std::vector<Window> out;
    Window root = 0;
    Window up = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    XSync(display, False);
    if (XQueryTree(display, window, &root, &up, &children, &count) != 0) {
        out.assign(children, children + count);
        if (children != nullptr) {
            XFree(children);
        }
    }
    return out;
}

class ModuleDisplayFixture : public X11DisplayFixture {
protected:
    void SetUp() override {
        openDisplay();
        if (HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
        host.open(44100.0, 512);
    }
    // The module goes first, so that its editor's windows are gone before the
    // host's own.
    void TearDown() override {
        host.unload();
        if (dpy != nullptr) {
            destroyHostWindows();
            closeDisplay();
        }
    }
    virtual void destroyHostWindows() {}

    vhost::PluginHost host;
};
