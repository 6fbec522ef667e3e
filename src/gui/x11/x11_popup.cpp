#include "gui/x11/x11_popup.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/popup_navigation.h"
#include "gui/x11/x11_pixel_transfer.h"

namespace {

// One open level's window and what is drawn in it.
struct LevelWindow {
    Window window = 0;
    std::unique_ptr<X11PixelTransfer> transfer;
    std::unique_ptr<CairoSurface> canvas;
};

// An open pop-up: a window per level of the navigation, and the events read
// while it is open.
class PopupSession final : private PopupLevelWindows {
public:
    PopupSession(Display* display, const char* windowClassName, GuiMenuPainter& menuPainter,
                 bool rightButtonChooses)
        : dpy(display), windowClass(windowClassName), painter(menuPainter),
          navigation(*this, menuPainter, measure, rightButtonChooses) {}
    ~PopupSession() override {
        navigation.closeAll();
        XFlush(dpy);
    }
    PopupSession(const PopupSession&) = delete;
    PopupSession& operator=(const PopupSession&) = delete;

    bool open(const GuiPopupMenu& menu, CPoint origin) { return navigation.open(menu, origin); }
    Window firstWindow() const { return windows.front().window; }
    // One event read while the menu is open.
    void handle(XEvent& event, const std::function<void(XEvent&)>& otherWindowPaint);
    bool isDone() const { return navigation.isDone(); }
    std::int32_t result() const { return navigation.result(); }

private:
    bool showLevel(PopupLevel& level) override;
    void closeLevel() override;
    void redrawLevel(std::size_t index) override;
    void keyPress(XKeyEvent& event);

    Display* dpy;
    const char* windowClass;
    GuiMenuPainter& painter;
    CairoSurface measure{1, 1};
    std::vector<LevelWindow> windows;
    PopupNavigation navigation;
};

bool PopupSession::showLevel(PopupLevel& level) {
    const CPoint size = level.windowSize();
    // Kept on the screen.
    int screen = DefaultScreen(dpy);
    level.origin.h = std::max(0, std::min(level.origin.h, DisplayWidth(dpy, screen) - size.h));
    level.origin.v = std::max(0, std::min(level.origin.v, DisplayHeight(dpy, screen) - size.v));

    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    attributes.save_under = True;
    attributes.background_pixmap = None;
    attributes.border_pixel = 0;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            KeyPressMask | StructureNotifyMask;
    LevelWindow shown;
    shown.window = XCreateWindow(
        dpy, DefaultRootWindow(dpy), level.origin.h, level.origin.v, static_cast<unsigned>(size.h),
        static_cast<unsigned>(size.v), 0, CopyFromParent, InputOutput, CopyFromParent,
        CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWBorderPixel | CWEventMask, &attributes);
    XClassHint hint;
    char resName[] = "vornhalt-menu";
    hint.res_name = resName;
    hint.res_class = const_cast<char*>(windowClass);
    XSetClassHint(dpy, shown.window, &hint);
    shown.transfer = std::make_unique<X11PixelTransfer>(dpy, shown.window);
    shown.canvas = std::make_unique<CairoSurface>(size.h, size.v);
    XMapRaised(dpy, shown.window);
    windows.push_back(std::move(shown));
    redrawLevel(windows.size() - 1);
    return true;
}

void PopupSession::closeLevel() {
    LevelWindow& level = windows.back();
    level.transfer.reset();
    XDestroyWindow(dpy, level.window);
    windows.pop_back();
}

void PopupSession::redrawLevel(std::size_t index) {
    LevelWindow& level = windows[index];
    renderPopupLevel(navigation.level(index), painter, *level.canvas);
    level.transfer->put(*level.canvas, CRect(0, 0, level.canvas->width(), level.canvas->height()));
    XFlush(dpy);
}

void PopupSession::handle(XEvent& event, const std::function<void(XEvent&)>& otherWindowPaint) {
    switch (event.type) {
    case Expose: {
        auto shown = std::find_if(windows.begin(), windows.end(), [&](const LevelWindow& level) {
            return level.window == event.xany.window;
        });
        if (shown == windows.end()) {
            otherWindowPaint(event);
        } else if (event.xexpose.count == 0) {
            redrawLevel(static_cast<std::size_t>(shown - windows.begin()));
        }
        break;
    }
    case MotionNotify:
        navigation.pointerMoved(CPoint(event.xmotion.x_root, event.xmotion.y_root));
        break;
    case ButtonPress:
        if (event.xbutton.button <= Button3) { // the wheel does not close the menu
            navigation.buttonPressed(CPoint(event.xbutton.x_root, event.xbutton.y_root));
        }
        break;
    case ButtonRelease:
        if (event.xbutton.button == Button1 || event.xbutton.button == Button3) {
            navigation.buttonReleased(CPoint(event.xbutton.x_root, event.xbutton.y_root),
                                      event.xbutton.button == Button3);
        }
        break;
    case KeyPress:
        keyPress(event.xkey);
        break;
    default:
        break;
    }
}

void PopupSession::keyPress(XKeyEvent& event) {
    switch (XLookupKeysym(&event, 0)) {
    case XK_Escape:
        navigation.keyPressed(PopupNavigation::Key::Escape);
        break;
    case XK_Return:
    case XK_KP_Enter:
        navigation.keyPressed(PopupNavigation::Key::Return);
        break;
    case XK_Up:
        navigation.keyPressed(PopupNavigation::Key::Up);
        break;
    case XK_Down:
        navigation.keyPressed(PopupNavigation::Key::Down);
        break;
    default:
        break;
    }
}

// Modal: all pointer and key events come to the menu until it closes. The
// click that opened the menu may still hold the pointer for a moment, so the
// grab is tried for a little while.
bool grabInput(Display* dpy, Window window, const X11PopupContext& context) {
    bool grabbed = false;
    for (int attempt = 0; attempt < 50 && !grabbed && !context.connection.isLost(); ++attempt) {
        grabbed = XGrabPointer(dpy, window, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                               GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
        if (!grabbed) {
            context.sleep(4);
        }
    }
    if (grabbed) {
        XGrabKeyboard(dpy, window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    }
    return grabbed;
}

void releaseInput(Display* dpy) {
    XUngrabKeyboard(dpy, CurrentTime);
    XUngrabPointer(dpy, CurrentTime);
}

// Reads the connection until the menu is done. A server that goes away
// dismisses the menu.
void runEventLoop(Display* dpy, PopupSession& session, const X11PopupContext& context) {
    while (!session.isDone() && !context.connection.isLost()) {
        if (XPending(dpy) == 0) {
            pollfd fd{ConnectionNumber(dpy), POLLIN, 0};
            poll(&fd, 1, 50);
            continue;
        }
        XEvent event;
        XNextEvent(dpy, &event);
        session.handle(event, context.otherWindowPaint);
    }
}

} // namespace

std::int32_t runX11PopupMenu(const X11PopupContext& context, const GuiPopupMenu& menu, CPoint screenPosition,
                             bool rightButton, GuiMenuPainter& painter) {
    Display* dpy = context.connection.display();
    PopupSession session(dpy, context.windowClass, painter, rightButton);
    if (session.open(menu, screenPosition) && grabInput(dpy, session.firstWindow(), context)) {
        runEventLoop(dpy, session, context);
        releaseInput(dpy);
    }
    return session.result();
}
