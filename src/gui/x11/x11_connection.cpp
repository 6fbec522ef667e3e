#include "gui/x11/x11_connection.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace {

// The module's open connections and the host's handlers while a scope stands
// in for them. Touched only by UI threads and by Xlib's error paths.
struct HandlerState {
    std::mutex mutex;
    std::vector<std::pair<Display*, X11Connection*>> connections;
    int scopes = 0;
    XErrorHandler hostErrorHandler = nullptr;
    XIOErrorHandler hostIoHandler = nullptr;
};

HandlerState& handlerState() {
    static HandlerState state;
    return state;
}

X11Connection* moduleConnection(Display* display) {
    HandlerState& state = handlerState();
    std::lock_guard<std::mutex> lock(state.mutex);
    for (const auto& [dpy, connection] : state.connections) {
        if (dpy == display) {
            return connection;
        }
    }
    return nullptr;
}

int onProtocolError(Display* display, XErrorEvent* event) {
    if (X11Connection* connection = moduleConnection(display)) {
        connection->countError();
        return 0;
    }
    XErrorHandler host = nullptr;
    {
        HandlerState& state = handlerState();
        std::lock_guard<std::mutex> lock(state.mutex);
        host = state.hostErrorHandler;
    }
    return host != nullptr ? host(display, event) : 0;
}

// Xlib calls this first when a connection breaks, then the display's own exit
// handler; the default of either ends the process.
int onConnectionError(Display* display) {
    if (X11Connection* connection = moduleConnection(display)) {
        connection->markLost();
        return 0;
    }
    XIOErrorHandler host = nullptr;
    {
        HandlerState& state = handlerState();
        std::lock_guard<std::mutex> lock(state.mutex);
        host = state.hostIoHandler;
    }
    return host != nullptr ? host(display) : 0;
}

void onConnectionExit(Display* /*display*/, void* connection) {
    static_cast<X11Connection*>(connection)->markLost();
}

} // namespace

X11HandlerScope::X11HandlerScope() {
    HandlerState& state = handlerState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.scopes++ == 0) {
        state.hostErrorHandler = XSetErrorHandler(onProtocolError);
        state.hostIoHandler = XSetIOErrorHandler(onConnectionError);
    }
}

X11HandlerScope::~X11HandlerScope() {
    HandlerState& state = handlerState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (--state.scopes == 0) {
        XSetErrorHandler(state.hostErrorHandler);
        XSetIOErrorHandler(state.hostIoHandler);
        state.hostErrorHandler = nullptr;
        state.hostIoHandler = nullptr;
    }
}

bool X11Connection::open(const std::string& name) {
    close();
    X11HandlerScope scope;
    dpy = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (dpy == nullptr) {
        return false;
    }
    lost = false;
    errors = 0;
    XSetIOErrorExitHandler(dpy, onConnectionExit, this);
    HandlerState& state = handlerState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.connections.emplace_back(dpy, this);
    return true;
}

void X11Connection::close() {
    if (dpy == nullptr) {
        return;
    }
    X11HandlerScope scope;
    // A lost connection is closed all the same: Xlib sends nothing on it any
    // more and only frees what it holds.
    XCloseDisplay(dpy);
    {
        HandlerState& state = handlerState();
        std::lock_guard<std::mutex> lock(state.mutex);
        auto& list = state.connections;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [this](const auto& entry) { return entry.second == this; }),
                   list.end());
    }
    dpy = nullptr;
    lost = false;
}

std::string displayNameOf(void* hostDisplay) {
    if (hostDisplay == nullptr) {
        return {};
    }
    const char* name = DisplayString(static_cast<Display*>(hostDisplay));
    return name != nullptr ? name : "";
}
