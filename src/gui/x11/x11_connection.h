#pragma once

// The module's own connection to an X server, and what keeps a fault on it
// from ending the host.
//
// Xlib's error handlers are process-wide and belong to the host; its default
// ones print a line and end the process, for a protocol error (a window that
// is gone) and for a lost server alike. The module never replaces them for
// good: while an `X11HandlerScope` lives, the module's handlers stand in, note
// what concerns the module's own connections and pass everything else to the
// handlers that were there before; the scope puts those back when it ends.
// A lost server is also caught on the connection itself (Xlib's per-display
// exit handler), so Xlib returns to the module instead of exiting, and the
// connection is marked lost: from then on it is never used again, and closed
// at the next safe moment.
//
// Threads: [ui thread] everything; the host's own Xlib calls may run on other
// threads meanwhile, and are answered by their own handlers.

#include <X11/Xlib.h>

#include <cstdint>
#include <string>

class X11Connection {
public:
    X11Connection() = default;
    ~X11Connection() { close(); }
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Opens a connection to `name` (empty: $DISPLAY); false when none can be made.
    bool open(const std::string& name);
    // Closes it, lost or not.
    void close();

    // The display, or null when there is none or it was lost.
    Display* display() const { return lost ? nullptr : dpy; }
    bool isOpen() const { return dpy != nullptr; }
    // The server went away (or the connection broke) while the module used it.
    bool isLost() const { return lost; }
    // Protocol errors the server reported on this connection so far.
    std::uint32_t errorCount() const { return errors; }

    // For the handlers.
    void markLost() { lost = true; }
    void countError() { ++errors; }

private:
    Display* dpy = nullptr;
    bool lost = false;
    std::uint32_t errors = 0;
};

class X11HandlerScope {
public:
    X11HandlerScope();
    ~X11HandlerScope();
    X11HandlerScope(const X11HandlerScope&) = delete;
    X11HandlerScope& operator=(const X11HandlerScope&) = delete;
};

// The name of the display a host's own connection is open to; empty for null.
std::string displayNameOf(void* hostDisplay);
