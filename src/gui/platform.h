#pragma once

// The small platform interface under the toolkit. The views, controls and
// menus talk only to these classes; a backend (a real window system, or the
// headless one used by tests and the renderer) implements them. Nothing here
// names a window-system or graphics-library type: native handles travel as
// opaque pointers.
//
// Thread tags. The toolkit's headers tag their entries with who may call them
// and when. A tag covers the declarations after it up to the next blank line;
// one before a class covers the whole class but for groups tagged inside it.
//   [ui thread]   the host's UI thread: the one that opened the frame. Each
//                 editor has its own; editors of the module may sit on
//                 different ones.
//   [any thread]  any thread, in any state; "never waits" marks those fit for
//                 the audio thread.
//   frame open    the editor is open and its frame's window exists: in
//                 practice, from the window's events and what they lead to.
//   any state     also with no frame (the editor closed, or before it opens),
//                 before the window's first paint and after the host destroyed
//                 the window.
// Plain values (points, rectangles, colours, fonts, pop-up items) carry no
// tag: any thread may use copies of its own.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/fonts.h"
#include "gui/gui_types.h"

// A read-only view of 32-bit pixels: each pixel one native-endian word
// 0xAARRGGBB with the colour premultiplied by alpha (in memory on a
// little-endian machine: blue, green, red, alpha). Rows are top-down and
// exactly width words apart.
struct GuiPixels {
    const std::uint32_t* data = nullptr;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

enum class GuiLineStyle { solid, onOff };

// A drawing target of fixed size: an offscreen buffer, a back buffer, a
// menu's canvas. Coordinates are the target's own pixels.
// [ui thread; any state] everything: a surface stands alone, frame or not.
class GuiSurface {
public:
    virtual ~GuiSurface() = default;

    virtual std::int32_t width() const = 0;
    virtual std::int32_t height() const = 0;

    // Every later operation is limited to this rectangle.
    virtual void setClip(const CRect& clip) = 0;
    // A line from `from` towards `to`; the end pixel itself is not drawn.
    virtual void drawLine(CPoint from, CPoint to, CColor colour, std::int32_t width, GuiLineStyle style) = 0;
    // The outline of the pixels left..right-1, top..bottom-1.
    virtual void frameRect(const CRect& rect, CColor colour, std::int32_t width) = 0;
    virtual void fillRect(const CRect& rect, CColor colour) = 0;
    virtual void fillEllipse(const CRect& rect, CColor colour) = 0;
    virtual std::int32_t textWidth(const char* text, const GuiFont& font) = 0;
    // One line, vertically centred in rect; align 0 left (one pixel in), 1
    // centre, 2 right. With `background` the text cell is filled first.
    virtual void drawText(const char* text, const CRect& rect, const GuiFont& font, CColor colour,
                          std::int32_t align, const CColor* background) = 0;
    // Pixels from `source` at `sourceOffset` onto `dest`: composited with their
    // alpha (blend) or copied as they are.
    virtual void drawPixels(const GuiPixels& source, const CRect& dest, CPoint sourceOffset, bool blend) = 0;
    // Copies another surface's pixels (same backend) without blending.
    virtual void copySurface(GuiSurface& source, const CRect& dest, CPoint sourceOffset) = 0;
    // Makes sure drawing is finished before pixels are read or shown.
    virtual void flush() = 0;
    // The surface's pixels, same format as GuiPixels, with all drawing finished
    // (it flushes first).
    virtual GuiPixels pixels() = 0;
};

// Told by a window what happens to it. Implemented by the frame.
class GuiWindowClient {
public:
    virtual ~GuiWindowClient() = default;
    // [ui thread, frame open; from processEvents or dispatchPendingPaint, also
    // while a pop-up menu is open] Part of the window must be shown again
    // (coalesced update rectangle).
    virtual void windowPaint(const CRect& updateRect) = 0;
    // [ui thread, frame open; from processEvents] A button went down at
    // `where` (window pixels); buttons are the button and modifier bits at
    // that moment, the pressed button included.
    virtual void windowMouseDown(CPoint where, std::int32_t buttons) = 0;
    // One wheel notch is a distance of 1; axis 0 vertical, 1 horizontal.
    virtual void windowWheel(CPoint where, float distance, std::int32_t axis, std::int32_t buttons) = 0;
    // [ui thread; from inside any platform or window call, even a drag's
    // pointer query] The window is gone (its parent was destroyed under it, or
    // the window system went away).
    virtual void windowDestroyed() = 0;
    // [ui thread, frame open; from the window system's timer, which may fire
    // while a click's pop-up reads messages: the client then lets it pass]
    // The host has stopped idling the editor (or never did): idle it as the
    // host would. Backends whose hosts always idle never call it.
    virtual void windowIdle() {}
};

// A native child window inside the host's window.
// [ui thread; any state] everything, still safe after windowDestroyed.
class GuiWindow {
public:
    virtual ~GuiWindow() = default;
    virtual void* nativeHandle() const = 0;
    // Where the window's top-left pixel lies on the screen.
    virtual CPoint screenPosition() = 0;
    // Shows `area` of the back buffer (window-sized) in the window.
    virtual void present(GuiSurface& backBuffer, const CRect& area) = 0;
    virtual void setSize(std::int32_t width, std::int32_t height) = 0;
};

// One level of a pop-up menu, built by the option menu from its entries.
struct GuiPopupItem {
    enum Flags : std::uint32_t {
        kSeparator = 1,
        kDisabled = 2,
        kChecked = 4,
        kColumnBreak = 8, // this item starts a new column
        kTitle = 16,
    };
    std::string text;
    std::int32_t id = -1; // the value the pop-up returns for this item
    std::uint32_t flags = 0;
    const struct GuiPopupMenu* submenu = nullptr;

    bool isSeparator() const { return (flags & kSeparator) != 0; }
    bool isSelectable() const { return (flags & (kSeparator | kDisabled)) == 0 && submenu == nullptr; }
};

// Measures and draws the items of a pop-up; the menu scheme stands behind it.
// [ui thread; any state] everything (called while a pop-up opens or is open).
class GuiMenuPainter {
public:
    virtual ~GuiMenuPainter() = default;
    // Width and height of an item (h = width, v = height).
    virtual CPoint itemSize(const GuiPopupItem& item, GuiSurface& surface) = 0;
    // state bits: checked 1, disabled 2, selected 4.
    virtual void drawItem(const GuiPopupItem& item, std::int32_t state, GuiSurface& surface,
                          const CRect& rect) = 0;
    // The pop-up's own background and edge around the items.
    virtual void drawBackground(GuiSurface& surface, const CRect& rect) = 0;
};

struct GuiPopupMenu {
    std::vector<GuiPopupItem> items;
    std::vector<std::unique_ptr<GuiPopupMenu>> submenus; // owned levels the items point to
};

// What a backend offers the toolkit: windows, offscreen surfaces, pointer
// state, a clock, sleeping, modal pop-up menus and its event queue.
class GuiPlatform {
public:
    virtual ~GuiPlatform() = default;

    // [ui thread, before createWindow] The host's own connection to the window
    // system its windows live on, when it passes one (on X11 its Display), or
    // null for the default one. A backend opens its connection to the same place.
    virtual void setHostConnection(void* /*connection*/) {}

    // [ui thread, as the frame opens] A child window of `parent` (the host's
    // native window) of the given size, or null when it cannot be made (no
    // parent, no display).
    virtual std::unique_ptr<GuiWindow> createWindow(void* parent, std::int32_t width, std::int32_t height,
                                                    GuiWindowClient& client) = 0;
    // [ui thread; any state] An offscreen surface, transparent black at creation.
    virtual std::unique_ptr<GuiSurface> createSurface(std::int32_t width, std::int32_t height) = 0;

    // [ui thread; any state] Current button and modifier bits; with `where`,
    // also the pointer position in the window's pixels.
    virtual std::int32_t pointerState(GuiWindow* window, CPoint* where) = 0;

    // [ui thread; any state] Milliseconds of a monotonic clock (wraps like a
    // 32-bit tick count).
    virtual std::uint32_t tickCount() = 0;
    virtual void sleep(std::uint32_t milliseconds) = 0;
    virtual std::uint32_t doubleClickTime() { return 250; }

    // [ui thread, frame open; from a control's click] Shows `menu` with its
    // top-left corner at `screenPosition` and waits until an item is chosen
    // (its id) or the menu is dismissed (-1). With `rightButton`, the right
    // button may choose too. The frame keeps painting meanwhile.
    virtual std::int32_t popupMenu(GuiWindow& owner, const GuiPopupMenu& menu, CPoint screenPosition,
                                   bool rightButton, GuiMenuPainter& painter) = 0;

    // [ui thread; any state; not from inside an event it handles] Handles
    // every event waiting for this module's windows.
    virtual void processEvents() = 0;
    // [ui thread; any state, also during a drag] Handles one waiting paint
    // request, if any; true when one was handled.
    virtual bool dispatchPendingPaint() = 0;
};
