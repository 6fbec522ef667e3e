#include "gui/x11/x11_popup.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/popup_menu.h"
#include "gui/x11/x11_pixel_transfer.h"

namespace {

// One open level of a pop-up: its window and what is drawn in it.
struct MenuLevel {
    const GuiPopupMenu* menu = nullptr;
    GuiPopupLayout layout;
    Window window = 0;
    std::unique_ptr<X11PixelTransfer> transfer;
    std::unique_ptr<CairoSurface> canvas;
    CPoint origin; // on the screen
    std::int32_t selected = -1;
};

// An open pop-up: its levels (the first one the menu itself, the deepest on
// top) and, once it is done, the id of the chosen item.
class PopupSession {
public:
    PopupSession(Display* display, const char* windowClassName, GuiMenuPainter& menuPainter,
                 bool rightButtonChooses)
        : dpy(display), windowClass(windowClassName), painter(menuPainter), rightButton(rightButtonChooses) {}
    ~PopupSession() {
        while (!levels.empty()) {
            closeLevel();
        }
        XFlush(dpy);
    }
    PopupSession(const PopupSession&) = delete;
    PopupSession& operator=(const PopupSession&) = delete;

    void openLevel(const GuiPopupMenu& menu, CPoint origin);
    Window firstWindow() const { return levels.front().window; }
    // One event read while the menu is open.
    void handle(XEvent& event, const std::function<void(XEvent&)>& otherWindowPaint);
    bool isDone() const { return done; }
    std::int32_t result() const { return chosen; }

private:
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
    void buttonPress(const XButtonEvent& event);
    void buttonRelease(const XButtonEvent& event);
    void keyPress(XKeyEvent& event);
    void moveSelection(MenuLevel& level, bool down);
    void choose(const GuiPopupItem& item) {
        chosen = item.id;
        done = true;
    }

    Display* dpy;
    const char* windowClass;
    GuiMenuPainter& painter;
    bool rightButton;
    std::vector<MenuLevel> levels;
    bool done = false;
    std::int32_t chosen = -1;
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
    hint.res_class = const_cast<char*>(windowClass);
    XSetClassHint(dpy, level.window, &hint);
    level.transfer = std::make_unique<X11PixelTransfer>(dpy, level.window);
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
        if (popupLevelHit(level.layout, level.origin, screen, item)) {
            levelIndex = i;
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

void PopupSession::handle(XEvent& event, const std::function<void(XEvent&)>& otherWindowPaint) {
    switch (event.type) {
    case Expose:
        if (MenuLevel* level = levelOf(event.xany.window)) {
            if (event.xexpose.count == 0) {
                redraw(*level);
            }
        } else {
            otherWindowPaint(event);
        }
        break;
    case MotionNotify:
        hover(CPoint(event.xmotion.x_root, event.xmotion.y_root));
        break;
    case ButtonPress:
        buttonPress(event.xbutton);
        break;
    case ButtonRelease:
        buttonRelease(event.xbutton);
        break;
    case KeyPress:
        keyPress(event.xkey);
        break;
    default:
        break;
    }
}

void PopupSession::buttonPress(const XButtonEvent& event) {
    if (event.button > Button3) {
        return; // the wheel does not close the menu
    }
    std::size_t index = 0;
    std::int32_t item = -1;
    if (!hit(CPoint(event.x_root, event.y_root), index, item)) {
        done = true; // a click outside dismisses
    }
}

void PopupSession::buttonRelease(const XButtonEvent& event) {
    if (event.button != Button1 && !(event.button == Button3 && rightButton)) {
        return;
    }
    std::size_t index = 0;
    std::int32_t item = -1;
    // The release of the opening click lands outside: ignored.
    if (hit(CPoint(event.x_root, event.y_root), index, item) && item >= 0) {
        const GuiPopupItem& entry = levels[index].menu->items[static_cast<std::size_t>(item)];
        if (entry.isSelectable()) {
            choose(entry);
        }
    }
}

// The keys act on the deepest level: Escape dismisses, Return chooses the
// highlighted item, the arrows move the highlight.
void PopupSession::keyPress(XKeyEvent& event) {
    KeySym key = XLookupKeysym(&event, 0);
    MenuLevel& deepest = levels.back();
    if (key == XK_Escape) {
        done = true;
    } else if (key == XK_Return || key == XK_KP_Enter) {
        if (deepest.selected >= 0) {
            const GuiPopupItem& entry = deepest.menu->items[static_cast<std::size_t>(deepest.selected)];
            if (entry.isSelectable()) {
                choose(entry);
            }
        }
    } else if ((key == XK_Down || key == XK_Up) && !deepest.menu->items.empty()) {
        moveSelection(deepest, key == XK_Down);
    }
}

// To the next item that can be chosen, round the end; from no highlight, the
// first (or last) item.
void PopupSession::moveSelection(MenuLevel& level, bool down) {
    std::int32_t count = static_cast<std::int32_t>(level.menu->items.size());
    std::int32_t step = down ? 1 : count - 1;
    std::int32_t next = level.selected;
    for (std::int32_t i = 0; i < count; ++i) {
        next = next < 0 ? (down ? 0 : count - 1) : (next + step) % count;
        if (level.menu->items[static_cast<std::size_t>(next)].isSelectable()) {
            break;
        }
    }
    level.selected = next;
    redraw(level);
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
    session.openLevel(menu, screenPosition);
    if (grabInput(dpy, session.firstWindow(), context)) {
        runEventLoop(dpy, session, context);
        releaseInput(dpy);
    }
    return session.result();
}
