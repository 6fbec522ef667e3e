#include "gui/x11/x11_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <map>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/x11/x11_connection.h"
#include "gui/x11/x11_pixel_transfer.h"
#include "gui/x11/x11_popup.h"

namespace {

class X11Platform;

// Button and modifier bits of the toolkit from an X11 state mask. The server
// already applies the user's button mapping, so a left-handed setup needs
// nothing more here.
std::int32_t buttonsFromState(unsigned int state) {
    std::int32_t buttons = 0;
    if ((state & Button1Mask) != 0) {
        buttons |= kLButton;
    }
    if ((state & Button2Mask) != 0) {
        buttons |= kMButton;
    }
    if ((state & Button3Mask) != 0) {
        buttons |= kRButton;
    }
    if ((state & ShiftMask) != 0) {
        buttons |= kShift;
    }
    if ((state & ControlMask) != 0) {
        buttons |= kControl;
    }
    if ((state & Mod1Mask) != 0) {
        buttons |= kAlt;
    }
    return buttons;
}

Window toWindow(void* handle) {
    return static_cast<Window>(reinterpret_cast<std::uintptr_t>(handle));
}

// The class name the module's windows carry: "Plugin" and an address inside
// the module in hexadecimal, so two modules' windows can be told apart.
const char* windowClassName() {
    static char name[40];
    if (name[0] == 0) {
        std::snprintf(name, sizeof name, "Plugin%lx",
                      static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(&windowClassName)));
    }
    return name;
}

class X11Window final : public GuiWindow {
public:
    X11Window(X11Platform& platform, Window window, GuiWindowClient& client);
    ~X11Window() override;

    void* nativeHandle() const override {
        return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
    }
    CPoint screenPosition() override;
    void present(GuiSurface& backBuffer, const CRect& area) override;
    void setSize(std::int32_t width, std::int32_t height) override;

    void expose(const CRect& area, bool last);
    void destroyedByServer();
    Window id() const { return window; }
    GuiWindowClient& windowClient() { return client; }
    bool isAlive() const { return alive; }

private:
    X11Platform& platform;
    Window window;
    GuiWindowClient& client;
    std::unique_ptr<X11PixelTransfer> transfer;
    CRect pendingExpose;
    bool alive = true;
};

class X11Platform final : public GuiPlatform {
public:
    X11Platform() = default;
    ~X11Platform() override { connection.close(); }

    void setHostConnection(void* hostDisplay) override { hostDisplayName = displayNameOf(hostDisplay); }

    std::unique_ptr<GuiWindow> createWindow(void* parent, std::int32_t width, std::int32_t height,
                                            GuiWindowClient& client) override;
    std::unique_ptr<GuiSurface> createSurface(std::int32_t width, std::int32_t height) override {
        return makeCairoSurface(width, height);
    }
    std::int32_t pointerState(GuiWindow* window, CPoint* where) override;
    std::uint32_t tickCount() override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<std::uint32_t>(static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                                          static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u);
    }
    void sleep(std::uint32_t milliseconds) override {
        timespec ts{static_cast<time_t>(milliseconds / 1000u),
                    static_cast<long>(milliseconds % 1000u) * 1000000L};
        while (nanosleep(&ts, &ts) != 0) {
        }
    }
    std::int32_t popupMenu(GuiWindow& owner, const GuiPopupMenu& menu, CPoint screenPosition,
                           bool rightButton, GuiMenuPainter& painter) override;
    void processEvents() override;
    bool dispatchPendingPaint() override;

    // The connection, or null when there is none or it was lost.
    Display* display() const { return connection.display(); }
    void windowGone(X11Window* window);
    // After Xlib calls: a lost connection closes the editor's side quietly.
    void afterCalls();

private:
    bool ensureDisplay();
    void closeDisplayIfUnused();
    void handleEvent(XEvent& event);
    X11Window* findWindow(Window id) const;

    X11Connection connection;
    // Where the host's windows live: its own display's name ($DISPLAY when empty).
    std::string hostDisplayName;
    bool lossHandled = false;
    std::map<Window, X11Window*> windows;
    std::int32_t eventDepth = 0;
};

// ---------------------------------------------------------------- X11Window

X11Window::X11Window(X11Platform& platform_, Window window_, GuiWindowClient& client_)
    : platform(platform_), window(window_), client(client_),
      transfer(std::make_unique<X11PixelTransfer>(platform_.display(), window_)) {}

X11Window::~X11Window() {
    X11HandlerScope scope;
    Display* dpy = platform.display();
    transfer.reset();
    if (dpy != nullptr && alive) {
        // The host may have destroyed its window (and ours with it) already:
        // look for that news before destroying ours, so no request names a
        // window that is gone.
        XSync(dpy, False);
        XEvent event;
        while (XCheckTypedWindowEvent(dpy, window, DestroyNotify, &event)) {
            alive = false;
        }
        if (alive) {
            XDestroyWindow(dpy, window);
            XSync(dpy, False);
        }
    }
    platform.windowGone(this);
}

CPoint X11Window::screenPosition() {
    X11HandlerScope scope;
    Display* dpy = platform.display();
    if (dpy == nullptr || !alive) {
        return CPoint(0, 0);
    }
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    platform.afterCalls();
    return CPoint(x, y);
}

void X11Window::present(GuiSurface& backBuffer, const CRect& area) {
    X11HandlerScope scope;
    if (!alive || area.isEmpty() || platform.display() == nullptr) {
        return;
    }
    transfer->put(backBuffer, area);
    XFlush(platform.display());
    platform.afterCalls();
}

void X11Window::setSize(std::int32_t width, std::int32_t height) {
    X11HandlerScope scope;
    if (!alive || platform.display() == nullptr) {
        return;
    }
    XResizeWindow(platform.display(), window, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XFlush(platform.display());
    platform.afterCalls();
}

// Expose rectangles of one series are gathered into one update rectangle.
void X11Window::expose(const CRect& area, bool last) {
    pendingExpose.unite(area);
    if (last && !pendingExpose.isEmpty()) {
        CRect update = pendingExpose;
        pendingExpose = CRect();
        client.windowPaint(update);
    }
}

void X11Window::destroyedByServer() {
    if (alive) {
        alive = false;
        client.windowDestroyed();
    }
}

// ---------------------------------------------------------------- X11Platform

bool X11Platform::ensureDisplay() {
    if (!connection.isOpen()) {
        lossHandled = false;
        connection.open(hostDisplayName);
    }
    return display() != nullptr;
}

// The connection lives while a window does; a lost one is closed as soon as no
// event is being handled, its windows already told they are gone.
void X11Platform::closeDisplayIfUnused() {
    if (connection.isOpen() && eventDepth == 0 && (windows.empty() || connection.isLost())) {
        connection.close();
    }
}

void X11Platform::afterCalls() {
    if (connection.isLost() && !lossHandled) {
        lossHandled = true;
        std::vector<X11Window*> gone;
        for (const auto& [id, window] : windows) {
            gone.push_back(window);
        }
        for (X11Window* window : gone) {
            window->destroyedByServer();
        }
    }
    closeDisplayIfUnused();
}

void X11Platform::windowGone(X11Window* window) {
    // A window of a lost connection may share its id with one of a newer connection.
    auto it = windows.find(window->id());
    if (it != windows.end() && it->second == window) {
        windows.erase(it);
    }
    closeDisplayIfUnused();
}

X11Window* X11Platform::findWindow(Window id) const {
    auto it = windows.find(id);
    return it != windows.end() ? it->second : nullptr;
}

std::unique_ptr<GuiWindow> X11Platform::createWindow(void* parent, std::int32_t width, std::int32_t height,
                                                     GuiWindowClient& client) {
    X11HandlerScope scope;
    if (parent == nullptr || width <= 0 || height <= 0 || !ensureDisplay()) {
        closeDisplayIfUnused();
        return nullptr;
    }
    Display* dpy = display();
    const std::uint32_t errorsBefore = connection.errorCount();
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = None; // the frame paints every pixel itself
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    Window id = XCreateWindow(dpy, toWindow(parent), 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                              CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
    if (id == 0) {
        closeDisplayIfUnused();
        return nullptr;
    }
    XClassHint hint;
    char resName[] = "vornhalt";
    hint.res_name = resName;
    hint.res_class = const_cast<char*>(windowClassName());
    XSetClassHint(dpy, id, &hint);
    XStoreName(dpy, id, "Window");

    auto window = std::make_unique<X11Window>(*this, id, client);
    windows[id] = window.get();
    XMapWindow(dpy, id);
    // A parent the server does not know (a host's window on another display,
    // or one destroyed meanwhile) fails here, not later in the host's face.
    XSync(dpy, False);
    if (connection.isLost() || connection.errorCount() != errorsBefore) {
        window.reset();
        afterCalls();
        return nullptr;
    }
    return window;
}

std::int32_t X11Platform::pointerState(GuiWindow* window, CPoint* where) {
    X11HandlerScope scope;
    Display* dpy = display();
    if (dpy == nullptr || window == nullptr) {
        return 0;
    }
    auto* x11 = static_cast<X11Window*>(window);
    Window root = 0;
    Window child = 0;
    int rootX = 0;
    int rootY = 0;
    int x = 0;
    int y = 0;
    unsigned int mask = 0;
    if (!x11->isAlive()) {
        return 0;
    }
    XQueryPointer(dpy, x11->id(), &root, &child, &rootX, &rootY, &x, &y, &mask);
    afterCalls();
    if (where != nullptr) {
        *where = CPoint(x, y);
    }
    return buttonsFromState(mask);
}

void X11Platform::handleEvent(XEvent& event) {
    X11Window* window = findWindow(event.xany.window);
    if (window == nullptr) {
        return;
    }
    switch (event.type) {
    case Expose: {
        const XExposeEvent& e = event.xexpose;
        window->expose(CRect(e.x, e.y, e.x + e.width, e.y + e.height), e.count == 0);
        break;
    }
    case ButtonPress: {
        const XButtonEvent& e = event.xbutton;
        CPoint where(e.x, e.y);
        std::int32_t buttons = buttonsFromState(e.state);
        switch (e.button) {
        case Button1:
            window->windowClient().windowMouseDown(where, buttons | kLButton);
            break;
        case Button2:
            window->windowClient().windowMouseDown(where, buttons | kMButton);
            break;
        case Button3:
            window->windowClient().windowMouseDown(where, buttons | kRButton);
            break;
        case Button4:
            window->windowClient().windowWheel(where, 1.f, 0, buttons);
            break;
        case Button5:
            window->windowClient().windowWheel(where, -1.f, 0, buttons);
            break;
        case 6:
            window->windowClient().windowWheel(where, -1.f, 1, buttons);
            break;
        case 7:
            window->windowClient().windowWheel(where, 1.f, 1, buttons);
            break;
        default:
            break;
        }
        break;
    }
    case DestroyNotify:
        if (event.xdestroywindow.window == window->id()) {
            window->destroyedByServer();
        }
        break;
    default:
        break;
    }
}

void X11Platform::processEvents() {
    X11HandlerScope scope;
    if (display() == nullptr) {
        afterCalls();
        return;
    }
    ++eventDepth;
    while (display() != nullptr && XPending(display()) > 0) {
        XEvent event;
        XNextEvent(display(), &event);
        handleEvent(event);
    }
    --eventDepth;
    afterCalls();
}

bool X11Platform::dispatchPendingPaint() {
    X11HandlerScope scope;
    if (display() == nullptr) {
        afterCalls();
        return false;
    }
    XEvent event;
    if (!XCheckTypedEvent(display(), Expose, &event)) {
        afterCalls();
        return false;
    }
    ++eventDepth;
    handleEvent(event);
    --eventDepth;
    afterCalls();
    return true;
}

// ---------------------------------------------------------------- pop-up menus

std::int32_t X11Platform::popupMenu(GuiWindow& /*owner*/, const GuiPopupMenu& menu, CPoint screenPosition,
                                    bool rightButton, GuiMenuPainter& painter) {
    X11HandlerScope scope;
    Display* dpy = display();
    if (dpy == nullptr || menu.items.empty()) {
        return -1;
    }
    // The menu reads the connection itself: it stays open until the menu is
    // done, even when it is lost meanwhile.
    ++eventDepth;
    X11PopupContext context{connection, windowClassName(), [this](XEvent& event) { handleEvent(event); },
                            [this](std::uint32_t milliseconds) { sleep(milliseconds); }};
    std::int32_t result = runX11PopupMenu(context, menu, screenPosition, rightButton, painter);
    XSync(dpy, False);
    --eventDepth;
    afterCalls();
    return result;
}

} // namespace

std::unique_ptr<GuiPlatform> createX11Platform() {
    return std::make_unique<X11Platform>();
}
