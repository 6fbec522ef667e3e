#include "gui/win32/win32_popup.h"

#include <windowsx.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/popup_menu.h"
#include "gui/win32/win32_pixel_transfer.h"
#include "gui/win32/win32_window_class.h"

namespace {

class PopupSession;

// One open level of a pop-up: its window and the canvas it shows.
class MenuLevel final : private Win32WindowTarget {
public:
    MenuLevel(PopupSession& owningSession, const GuiPopupMenu& levelMenu)
        : session(owningSession), menu(&levelMenu) {}
    ~MenuLevel() {
        if (window != nullptr) {
            DestroyWindow(window);
        }
    }
    MenuLevel(const MenuLevel&) = delete;
    MenuLevel& operator=(const MenuLevel&) = delete;

    // Makes the level's window at `origin`, shown without taking the focus
    // from the host.
    bool show(HWND owner, CPoint where, std::int32_t width, std::int32_t height);
    void redraw(GuiMenuPainter& painter);

    const GuiPopupMenu* levelMenu() const { return menu; }
    HWND handle() const { return window; }

    GuiPopupLayout layout;
    std::unique_ptr<CairoSurface> canvas;
    CPoint origin; // on the screen
    std::int32_t selected = -1;

private:
    LRESULT handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override;

    PopupSession& session;
    const GuiPopupMenu* menu;
    Win32ClassUse classUse;
    HWND window = nullptr;
};

// An open pop-up: its levels (the first one the menu itself, the deepest on
// top) and, once it is done, the id of the chosen item.
class PopupSession {
public:
    PopupSession(HWND ownerWindow, GuiMenuPainter& menuPainter, bool rightButtonChooses)
        : owner(GetAncestor(ownerWindow, GA_ROOT)), painter(menuPainter), rightButton(rightButtonChooses) {}
    ~PopupSession() {
        // Let go of the pointer first: the levels' windows are gone next.
        if (!levels.empty() && GetCapture() == levels.front()->handle()) {
            ReleaseCapture();
        }
        closeAbove(0);
    }
    PopupSession(const PopupSession&) = delete;
    PopupSession& operator=(const PopupSession&) = delete;

    bool openLevel(const GuiPopupMenu& menu, CPoint origin);
    HWND firstWindow() const { return levels.front()->handle(); }
    // A message read from the thread's queue while the menu is open; false
    // when it is not the menu's (it is dispatched as usual then).
    bool take(const MSG& message);
    void dismiss() { done = true; }
    bool isDone() const { return done; }
    std::int32_t result() const { return chosen; }

private:
    void closeAbove(std::size_t keep) {
        while (levels.size() > keep) {
            levels.pop_back();
        }
    }
    // The level and item under a screen point; false when outside every level.
    bool hit(CPoint screen, std::size_t& levelIndex, std::int32_t& item) const;
    void mouse(UINT message, CPoint screen);
    void hover(CPoint screen);
    void release(CPoint screen);
    void key(WPARAM virtualKey);
    void moveSelection(MenuLevel& level, bool down);
    void choose(const GuiPopupItem& item) {
        chosen = item.id;
        done = true;
    }

    HWND owner;
    GuiMenuPainter& painter;
    bool rightButton;
    std::vector<std::unique_ptr<MenuLevel>> levels;
    bool done = false;
    std::int32_t chosen = -1;
};

// ---------------------------------------------------------------- MenuLevel

bool MenuLevel::show(HWND owner, CPoint where, std::int32_t width, std::int32_t height) {
    origin = where;
    // Tool windows stay off the task bar; no-activate keeps the host's window
    // the active one, as with the system's own menus.
    window = classUse.createWindow(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, WS_POPUP,
                                   RECT{where.h, where.v, where.h + width, where.v + height}, owner, *this);
    if (window == nullptr) {
        return false;
    }
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    return true;
}

void MenuLevel::redraw(GuiMenuPainter& painter) {
    renderPopupMenu(*menu, layout, painter, *canvas, selected);
    if (window != nullptr) {
        HDC dc = GetDC(window);
        putSurfacePixels(dc, *canvas, CRect(0, 0, canvas->width(), canvas->height()));
        ReleaseDC(window, dc);
    }
}

LRESULT MenuLevel::handleMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        HDC dc = BeginPaint(hwnd, &ps);
        if (dc != nullptr && canvas != nullptr) {
            putSurfacePixels(dc, *canvas,
                             CRect(ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom));
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    case WM_CAPTURECHANGED:
        // Another window took the pointer (the user switched to another
        // program, say): the menu can no longer see the clicks meant for it.
        if (reinterpret_cast<HWND>(lParam) != hwnd) {
            session.dismiss();
        }
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------- PopupSession

// Kept on the monitor the corner lies on, clear of the task bar.
CPoint keepOnMonitor(CPoint origin, std::int32_t width, std::int32_t height) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (GetMonitorInfoW(MonitorFromPoint(POINT{origin.h, origin.v}, MONITOR_DEFAULTTONEAREST), &info)) {
        const RECT& work = info.rcWork;
        origin.h = std::max<std::int32_t>(work.left, std::min<std::int32_t>(origin.h, work.right - width));
        origin.v = std::max<std::int32_t>(work.top, std::min<std::int32_t>(origin.v, work.bottom - height));
    }
    return origin;
}

bool PopupSession::openLevel(const GuiPopupMenu& menu, CPoint origin) {
    auto level = std::make_unique<MenuLevel>(*this, menu);
    CairoSurface measure(1, 1);
    level->layout = layoutPopupMenu(menu, painter, measure);
    const std::int32_t width = std::max(level->layout.size.h, 8);
    const std::int32_t height = std::max(level->layout.size.v, 8);
    level->canvas = std::make_unique<CairoSurface>(width, height);
    renderPopupMenu(menu, level->layout, painter, *level->canvas, -1);
    if (!level->show(owner, keepOnMonitor(origin, width, height), width, height)) {
        return false;
    }
    levels.push_back(std::move(level));
    return true;
}

bool PopupSession::hit(CPoint screen, std::size_t& levelIndex, std::int32_t& item) const {
    // The deepest level lies on top.
    for (std::size_t i = levels.size(); i-- > 0;) {
        const MenuLevel& level = *levels[i];
        if (popupLevelHit(level.layout, level.origin, screen, item)) {
            levelIndex = i;
            return true;
        }
    }
    return false;
}

// Highlights the item under the pointer; an item with a sub-menu opens it
// beside itself, and moving to another item closes deeper levels.
void PopupSession::hover(CPoint screen) {
    std::size_t index = 0;
    std::int32_t item = -1;
    if (!hit(screen, index, item) || item == levels[index]->selected) {
        return;
    }
    closeAbove(index + 1);
    MenuLevel& current = *levels[index];
    current.selected = item;
    current.redraw(painter);
    if (item >= 0) {
        const GuiPopupItem& entry = current.levelMenu()->items[static_cast<std::size_t>(item)];
        if (entry.submenu != nullptr && (entry.flags & GuiPopupItem::kDisabled) == 0) {
            const CRect& r = current.layout.itemRects[static_cast<std::size_t>(item)];
            openLevel(*entry.submenu,
                      CPoint(current.origin.h + r.right, current.origin.v + r.top - kPopupBorder));
        }
    }
}

void PopupSession::release(CPoint screen) {
    std::size_t index = 0;
    std::int32_t item = -1;
    // The release of the opening click lands outside: ignored.
    if (hit(screen, index, item) && item >= 0) {
        const GuiPopupItem& entry = levels[index]->levelMenu()->items[static_cast<std::size_t>(item)];
        if (entry.isSelectable()) {
            choose(entry);
        }
    }
}

void PopupSession::mouse(UINT message, CPoint screen) {
    std::size_t index = 0;
    std::int32_t item = -1;
    switch (message) {
    case WM_MOUSEMOVE:
        hover(screen);
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        if (!hit(screen, index, item)) {
            done = true; // a click outside dismisses
        }
        break;
    case WM_LBUTTONUP:
        release(screen);
        break;
    case WM_RBUTTONUP:
        if (rightButton) {
            release(screen);
        }
        break;
    default:
        break;
    }
}

// The keys act on the deepest level: Escape dismisses, Return chooses the
// highlighted item, the arrows move the highlight.
void PopupSession::key(WPARAM virtualKey) {
    MenuLevel& deepest = *levels.back();
    if (virtualKey == VK_ESCAPE) {
        done = true;
    } else if (virtualKey == VK_RETURN) {
        if (deepest.selected >= 0) {
            const GuiPopupItem& entry =
                deepest.levelMenu()->items[static_cast<std::size_t>(deepest.selected)];
            if (entry.isSelectable()) {
                choose(entry);
            }
        }
    } else if ((virtualKey == VK_DOWN || virtualKey == VK_UP) && !deepest.levelMenu()->items.empty()) {
        moveSelection(deepest, virtualKey == VK_DOWN);
    }
}

// To the next item that can be chosen, round the end; from no highlight, the
// first (or last) item.
void PopupSession::moveSelection(MenuLevel& level, bool down) {
    const auto& items = level.levelMenu()->items;
    const std::int32_t count = static_cast<std::int32_t>(items.size());
    const std::int32_t step = down ? 1 : count - 1;
    std::int32_t next = level.selected;
    for (std::int32_t i = 0; i < count; ++i) {
        next = next < 0 ? (down ? 0 : count - 1) : (next + step) % count;
        if (items[static_cast<std::size_t>(next)].isSelectable()) {
            break;
        }
    }
    level.selected = next;
    level.redraw(painter);
}

// Mouse messages come with the coordinates of the window they were meant for
// (with the capture, the first level's), non-client ones with the screen's.
bool PopupSession::take(const MSG& message) {
    const UINT id = message.message;
    if (id == WM_MOUSEWHEEL || id == WM_MOUSEHWHEEL) {
        return true; // the wheel does not close the menu
    }
    if (id >= WM_MOUSEFIRST && id <= WM_MOUSELAST) {
        POINT where{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        if (message.hwnd != nullptr) {
            ClientToScreen(message.hwnd, &where);
        }
        mouse(id, CPoint(where.x, where.y));
        return true;
    }
    if (id >= WM_NCMOUSEMOVE && id <= WM_NCXBUTTONDBLCLK) {
        mouse(id - WM_NCMOUSEMOVE + WM_MOUSEMOVE,
              CPoint(GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)));
        return true;
    }
    if (id >= WM_KEYFIRST && id <= WM_KEYLAST) {
        if (id == WM_KEYDOWN || id == WM_SYSKEYDOWN) {
            key(message.wParam);
        }
        return true;
    }
    return false;
}

// Reads the thread's messages until the menu is done. Everything that is not
// input is dispatched, so paints (the frame's and the host's) and the host's
// timers go on; a quit request ends the menu and is posted again for the
// host's loop.
void runMessageLoop(PopupSession& session) {
    while (!session.isDone()) {
        MSG message;
        if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            MsgWaitForMultipleObjectsEx(0, nullptr, 50, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            continue;
        }
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            session.dismiss();
        } else if (!session.take(message)) {
            DispatchMessageW(&message);
        }
    }
}

} // namespace

std::int32_t runWin32PopupMenu(HWND owner, const GuiPopupMenu& menu, CPoint screenPosition, bool rightButton,
                               GuiMenuPainter& painter) {
    PopupSession session(owner, painter, rightButton);
    if (!session.openLevel(menu, screenPosition)) {
        return -1;
    }
    SetCapture(session.firstWindow());
    runMessageLoop(session);
    return session.result();
}
