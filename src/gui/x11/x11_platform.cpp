#include "gui/x11/x11_platform.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/option_menu.h"
#include "gui/x11/x11_connection.h"

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

// Copies `area` of a surface's pixels (premultiplied 0xAARRGGBB, opaque in
// practice: the back buffer and menu canvases are filled everywhere) into a
// window. The common 24- and 32-bit true-colour visuals take the pixels as
// they are; other true-colour layouts are converted pixel by pixel.
class PixelTransfer {
public:
    PixelTransfer(Display* display, Window window) : dpy(display), target(window) {
        XWindowAttributes attributes{};
        XGetWindowAttributes(dpy, window, &attributes);
        visual = attributes.visual;
        depth = attributes.depth;
        gc = XCreateGC(dpy, window, 0, nullptr);
        direct = visual != nullptr && (depth == 24 || depth == 32) && visual->red_mask == 0xff0000 &&
                 visual->green_mask == 0x00ff00 && visual->blue_mask == 0x0000ff;
    }
    ~PixelTransfer() { XFreeGC(dpy, gc); }
    PixelTransfer(const PixelTransfer&) = delete;
    PixelTransfer& operator=(const PixelTransfer&) = delete;

    void put(GuiSurface& source, CRect area) {
        source.flush();
        GuiPixels pixels = source.pixels();
        area.bound(CRect(0, 0, pixels.width, pixels.height));
        if (area.isEmpty() || visual == nullptr) {
            return;
        }
        if (direct) {
            XImage* image = XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0,
                                         reinterpret_cast<char*>(const_cast<std::uint32_t*>(pixels.data)),
                                         static_cast<unsigned>(pixels.width),
                                         static_cast<unsigned>(pixels.height), 32, pixels.width * 4);
            if (image == nullptr) {
                return;
            }
            // The words are in this machine's byte order; Xlib swaps for a
            // server that differs.
            image->byte_order = LSBFirst;
            image->bitmap_bit_order = LSBFirst;
            XInitImage(image);
            XPutImage(dpy, target, gc, image, area.left, area.top, area.left, area.top,
                      static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()));
            image->data = nullptr; // the surface owns the pixels
            XDestroyImage(image);
            return;
        }
        XImage* image =
            XCreateImage(dpy, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                         static_cast<unsigned>(area.width()), static_cast<unsigned>(area.height()), 32, 0);
        if (image == nullptr) {
            return;
        }
        image->data = static_cast<char*>(std::malloc(static_cast<std::size_t>(image->bytes_per_line) *
                                                     static_cast<std::size_t>(area.height())));
        if (image->data == nullptr) {
            XDestroyImage(image);
            return;
        }
        for (std::int32_t y = 0; y < area.height(); ++y) {
            const std::uint32_t* row = pixels.data + static_cast<std::size_t>(area.top + y) * pixels.width;
            for (std::int32_t x = 0; x < area.width(); ++x) {
                std::uint32_t p = row[area.left + x];
                XPutPixel(image, x, y,
                          scale(p >> 16, visual->red_mask) | scale(p >> 8, visual->green_mask) |
                              scale(p, visual->blue_mask));
            }
        }
        XPutImage(dpy, target, gc, image, 0, 0, area.left, area.top, static_cast<unsigned>(area.width()),
                  static_cast<unsigned>(area.height()));
        XDestroyImage(image); // frees the data too
    }

private:
    // An 8-bit channel placed into a colour mask of any width and position.
    static unsigned long scale(std::uint32_t channel, unsigned long mask) {
        if (mask == 0) {
            return 0;
        }
        int shift = 0;
        while (((mask >> shift) & 1u) == 0) {
            ++shift;
        }
        int bits = 0;
        while (((mask >> (shift + bits)) & 1u) != 0) {
            ++bits;
        }
        unsigned long value = (channel & 0xffu);
        value = bits >= 8 ? value << (bits - 8) : value >> (8 - bits);
        return (value << shift) & mask;
    }

    Display* dpy;
    Window target;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc;
    bool direct = false;
};

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
    std::unique_ptr<PixelTransfer> transfer;
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
        if (width <= 0 || height <= 0) {
            return nullptr;
        }
        return std::make_unique<CairoSurface>(width, height);
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
      transfer(std::make_unique<PixelTransfer>(platform_.display(), window_)) {}

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

// One open level of a pop-up: its window and what is drawn in it.
struct MenuLevel {
    const GuiPopupMenu* menu = nullptr;
    GuiPopupLayout layout;
    Window window = 0;
    std::unique_ptr<PixelTransfer> transfer;
    std::unique_ptr<CairoSurface> canvas;
    CPoint origin; // on the screen
    std::int32_t selected = -1;
};

class PopupSession {
public:
    PopupSession(Display* display, GuiMenuPainter& menuPainter) : dpy(display), painter(menuPainter) {}
    ~PopupSession() {
        while (!levels.empty()) {
            closeLevel();
        }
        XFlush(dpy);
    }
    PopupSession(const PopupSession&) = delete;
    PopupSession& operator=(const PopupSession&) = delete;

    void openLevel(const GuiPopupMenu& menu, CPoint origin);
    void closeLevel();
    void closeAbove(std::size_t keep) {
        while (levels.size() > keep) {
            closeLevel();
        }
    }
    void redraw(MenuLevel& level);
    // The level and item under a screen point; false when outside every level.
    bool hit(CPoint screen, std::size_t& levelIndex, std::int32_t& item) const;
    MenuLevel* levelOf(Window window);
    void hover(CPoint screen);
    std::vector<MenuLevel>& all() { return levels; }

private:
    Display* dpy;
    GuiMenuPainter& painter;
    std::vector<MenuLevel> levels;
};

void PopupSession::openLevel(const GuiPopupMenu& menu, CPoint origin) {
    MenuLevel level;
    level.menu = &menu;
    CairoSurface measure(1, 1);
    level.layout = layoutPopupMenu(menu, painter, measure);
    std::int32_t width = std::max(level.layout.size.h, 8);
    std::int32_t height = std::max(level.layout.size.v, 8);
    // Kept on the screen.
    int screen = DefaultScreen(dpy);
    std::int32_t screenWidth = DisplayWidth(dpy, screen);
    std::int32_t screenHeight = DisplayHeight(dpy, screen);
    origin.h = std::max(0, std::min(origin.h, screenWidth - width));
    origin.v = std::max(0, std::min(origin.v, screenHeight - height));
    level.origin = origin;

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | StructureNotifyMask;
    level.window = XCreateWindow(
        dpy, DefaultRootWindow(dpy), origin.h, origin.v, static_cast<unsigned>(width),
        static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
    XClassHint hint;
    char resName[] = "vornhalt-menu";
    hint.res_name = resName;
    hint.res_class = const_cast<char*>(windowClassName());
    XSetClassHint(dpy, level.window, &hint);
    level.transfer = std::make_unique<PixelTransfer>(dpy, level.window);
    level.canvas = std::make_unique<CairoSurface>(width, height);
    XMapRaised(dpy, level.window);
    levels.push_back(std::move(level));
    redraw(levels.back());
}

void PopupSession::closeLevel() {
    MenuLevel& level = levels.back();
    level.transfer.reset();
    XDestroyWindow(dpy, level.window);
    levels.pop_back();
}

void PopupSession::redraw(MenuLevel& level) {
    renderPopupMenu(*level.menu, level.layout, painter, *level.canvas, level.selected);
    level.transfer->put(*level.canvas, CRect(0, 0, level.canvas->width(), level.canvas->height()));
    XFlush(dpy);
}

bool PopupSession::hit(CPoint screen, std::size_t& levelIndex, std::int32_t& item) const {
    // The deepest level lies on top.
    for (std::size_t i = levels.size(); i-- > 0;) {
        const MenuLevel& level = levels[i];
        CPoint local(screen.h - level.origin.h, screen.v - level.origin.v);
        if (local.h >= 0 && local.v >= 0 && local.h < level.layout.size.h && local.v < level.layout.size.v) {
            levelIndex = i;
            item = popupItemAt(level.layout, local);
            return true;
        }
    }
    return false;
}

MenuLevel* PopupSession::levelOf(Window window) {
    for (MenuLevel& level : levels) {
        if (level.window == window) {
            return &level;
        }
    }
    return nullptr;
}

// Highlights the item under the pointer; an item with a sub-menu opens it
// beside itself, and moving to another item closes deeper levels.
void PopupSession::hover(CPoint screen) {
    std::size_t index = 0;
    std::int32_t item = -1;
    if (!hit(screen, index, item)) {
        return;
    }
    MenuLevel& level = levels[index];
    if (item == level.selected) {
        return;
    }
    closeAbove(index + 1);
    MenuLevel& current = levels[index];
    current.selected = item;
    redraw(current);
    if (item >= 0) {
        const GuiPopupItem& entry = current.menu->items[static_cast<std::size_t>(item)];
        if (entry.submenu != nullptr && (entry.flags & GuiPopupItem::kDisabled) == 0) {
            const CRect& r = current.layout.itemRects[static_cast<std::size_t>(item)];
            CPoint origin(current.origin.h + r.right, current.origin.v + r.top - kPopupBorder);
            openLevel(*entry.submenu, origin);
        }
    }
}

std::int32_t X11Platform::popupMenu(GuiWindow& /*owner*/, const GuiPopupMenu& menu, CPoint screenPosition,
                                    bool rightButton, GuiMenuPainter& painter) {
    X11HandlerScope scope;
    Display* dpy = display();
    if (dpy == nullptr || menu.items.empty()) {
        return -1;
    }
    ++eventDepth;
    std::int32_t result = -1;
    {
        PopupSession session(dpy, painter);
        session.openLevel(menu, screenPosition);
        Window grabWindow = session.all().front().window;

        // Modal: all pointer and key events come here until the menu closes.
        // The click that opened the menu may still hold the pointer for a
        // moment, so the grab is tried for a little while.
        bool grabbed = false;
        for (int attempt = 0; attempt < 50 && !grabbed && !connection.isLost(); ++attempt) {
            grabbed =
                XGrabPointer(dpy, grabWindow, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                             GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
            if (!grabbed) {
                sleep(4);
            }
        }
        if (grabbed) {
            XGrabKeyboard(dpy, grabWindow, True, GrabModeAsync, GrabModeAsync, CurrentTime);
            bool done = false;
            // A server that goes away dismisses the menu.
            while (!done && !connection.isLost()) {
                if (XPending(dpy) == 0) {
                    pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
                    poll(&fd, 1, 50);
                    continue;
                }
                XEvent event;
                XNextEvent(dpy, &event);
                MenuLevel* level = session.levelOf(event.xany.window);
                switch (event.type) {
                case Expose:
                    if (level != nullptr) {
                        if (event.xexpose.count == 0) {
                            session.redraw(*level);
                        }
                    } else {
                        handleEvent(event); // the frame keeps painting
                    }
                    break;
                case MotionNotify:
                    session.hover(CPoint(event.xmotion.x_root, event.xmotion.y_root));
                    break;
                case ButtonPress: {
                    if (event.xbutton.button > Button3) {
                        break; // the wheel does not close the menu
                    }
                    std::size_t index = 0;
                    std::int32_t item = -1;
                    if (!session.hit(CPoint(event.xbutton.x_root, event.xbutton.y_root), index, item)) {
                        done = true; // a click outside dismisses
                    }
                    break;
                }
                case ButtonRelease: {
                    unsigned int button = event.xbutton.button;
                    if (button != Button1 && !(button == Button3 && rightButton)) {
                        break;
                    }
                    std::size_t index = 0;
                    std::int32_t item = -1;
                    CPoint at(event.xbutton.x_root, event.xbutton.y_root);
                    // The release of the opening click lands outside: ignored.
                    if (session.hit(at, index, item) && item >= 0) {
                        const GuiPopupItem& entry =
                            session.all()[index].menu->items[static_cast<std::size_t>(item)];
                        if (entry.isSelectable()) {
                            result = entry.id;
                            done = true;
                        }
                    }
                    break;
                }
                case KeyPress: {
                    KeySym key = XLookupKeysym(&event.xkey, 0);
                    MenuLevel& deepest = session.all().back();
                    std::int32_t count = static_cast<std::int32_t>(deepest.menu->items.size());
                    if (key == XK_Escape) {
                        done = true;
                    } else if (key == XK_Return || key == XK_KP_Enter) {
                        if (deepest.selected >= 0 &&
                            deepest.menu->items[static_cast<std::size_t>(deepest.selected)].isSelectable()) {
                            result = deepest.menu->items[static_cast<std::size_t>(deepest.selected)].id;
                            done = true;
                        }
                    } else if ((key == XK_Down || key == XK_Up) && count > 0) {
                        std::int32_t step = key == XK_Down ? 1 : count - 1;
                        std::int32_t next = deepest.selected;
                        for (std::int32_t i = 0; i < count; ++i) {
                            next = next < 0 ? (key == XK_Down ? 0 : count - 1) : (next + step) % count;
                            if (deepest.menu->items[static_cast<std::size_t>(next)].isSelectable()) {
                                break;
                            }
                        }
                        deepest.selected = next;
                        session.redraw(deepest);
                    }
                    break;
                }
                default:
                    break;
                }
            }
            XUngrabKeyboard(dpy, CurrentTime);
            XUngrabPointer(dpy, CurrentTime);
        }
    }
    XSync(dpy, False);
    --eventDepth;
    afterCalls();
    return result;
}

} // namespace

std::unique_ptr<GuiPlatform> createX11Platform() {
    return std::make_unique<X11Platform>();
}
