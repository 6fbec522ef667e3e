#pragma once

// The headless backend: windows are Cairo image surfaces standing in for the
// screen, and the pointer, the clock and pop-up menu choices are scripted. The
// toolkit runs on it unchanged, so tests (and a renderer that saves the editor
// as a PNG) need no display. Like a window system, a new window asks to be
// painted whole; events wait in a queue until processEvents.
//
// Threads: [ui thread; any state] everything; the test's (or the renderer's)
// own thread is the UI thread.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/cairo/cairo_surface.h"
#include "gui/platform.h"

class HeadlessPlatform;

class HeadlessWindow final : public GuiWindow {
public:
    // What the screen shows where nothing was ever presented.
    static constexpr CColor kUnpaintedColour{255, 0, 255, 255};

    HeadlessWindow(HeadlessPlatform& platform, std::int32_t width, std::int32_t height,
                   GuiWindowClient& client);
    ~HeadlessWindow() override;

    void* nativeHandle() const override { return const_cast<HeadlessWindow*>(this); }
    CPoint screenPosition() override { return screenOrigin; }
    void present(GuiSurface& backBuffer, const CRect& area) override;
    void setSize(std::int32_t width, std::int32_t height) override;

    void setScreenPosition(CPoint origin) { screenOrigin = origin; }
    // Queues a paint request (delivered by processEvents, coalesced).
    void expose(const CRect& area);
    // Queues a button press at where with the given button bits.
    void queueMouseDown(CPoint where, std::int32_t buttons);
    // Delivered at once, as if the window system had called.
    void mouseDown(CPoint where, std::int32_t buttons);
    void wheel(CPoint where, float distance, std::int32_t axis = 0, std::int32_t buttons = 0);
    // The host destroyed the parent: the window goes away under the frame.
    void destroyByHost();

    // What the "screen" shows: 0xAARRGGBB.
    std::uint32_t screenPixel(std::int32_t x, std::int32_t y);
    CairoSurface& screen() { return *screenSurface; }
    bool savePng(const char* path) { return screenSurface->writePng(path); }
    std::int32_t presentCount() const { return presents; }
    const CRect& lastPresentArea() const { return lastArea; }
    bool destroyed() const { return gone; }

private:
    friend class HeadlessPlatform;
    bool deliverPaint();
    // Hands over the paint request, or else the oldest press; false when none.
    bool deliverOne();

    HeadlessPlatform& platform;
    GuiWindowClient& client;
    std::unique_ptr<CairoSurface> screenSurface;
    CPoint screenOrigin{100, 100};
    CRect pendingPaint;
    struct Press {
        CPoint where;
        std::int32_t buttons;
    };
    std::deque<Press> pendingPresses;
    std::int32_t presents = 0;
    CRect lastArea;
    bool gone = false;
};

// One pop-up as the menu code asked for it: its items (flattened, sub-menu
// levels after their item), position and a picture of its first level. The
// items' sub-menu pointers are valid only while the pop-up is open.
struct HeadlessPopupRecord {
    std::vector<GuiPopupItem> items;
    CPoint position;
    bool rightButton = false;
    std::unique_ptr<CairoSurface> picture;
};

class HeadlessPlatform final : public GuiPlatform {
public:
    HeadlessPlatform();
    ~HeadlessPlatform() override;

    std::unique_ptr<GuiWindow> createWindow(void* parent, std::int32_t width, std::int32_t height,
                                            GuiWindowClient& client) override;
    std::unique_ptr<GuiSurface> createSurface(std::int32_t width, std::int32_t height) override;
    std::int32_t pointerState(GuiWindow* window, CPoint* where) override;
    std::uint32_t tickCount() override;
    void sleep(std::uint32_t milliseconds) override;
    std::int32_t popupMenu(GuiWindow& owner, const GuiPopupMenu& menu, CPoint screenPosition,
                           bool rightButton, GuiMenuPainter& painter) override;
    void processEvents() override;
    bool dispatchPendingPaint() override;

    // Clock: the time now, and how far every tickCount call moves it on.
    void setTime(std::uint32_t milliseconds) { clock = milliseconds; }
    std::uint32_t time() const { return clock; }
    void setClockStep(std::uint32_t milliseconds) { clockStep = milliseconds; }
    std::uint32_t sleptTotal() const { return slept; }

    // Pointer: the position (window pixels) and button bits now; queued steps
    // are taken one per position query, the last one stays.
    void setPointer(CPoint where, std::int32_t buttons);
    void queuePointer(CPoint where, std::int32_t buttons);
    std::size_t queuedPointerSteps() const { return pointerSteps.size(); }

    // Pop-ups: the chooser returns an item id or -1 (dismissed); without one,
    // every pop-up is dismissed.
    using MenuChooser = std::function<std::int32_t(const HeadlessPopupRecord&)>;
    void setMenuChooser(MenuChooser chooser) { menuChooser = std::move(chooser); }
    // Chooses the first item whose text equals `text` (or dismisses).
    void chooseMenuItem(const std::string& text);
    const std::vector<HeadlessPopupRecord>& popups() const { return popupRecords; }

    HeadlessWindow* lastWindow() const { return windows.empty() ? nullptr : windows.back(); }
    std::size_t openWindows() const { return windows.size(); }

private:
    friend class HeadlessWindow;

    std::vector<HeadlessWindow*> windows;
    std::uint32_t clock = 1000;
    std::uint32_t clockStep = 0;
    std::uint32_t slept = 0;
    CPoint pointer;
    std::int32_t buttons = 0;
    struct PointerStep {
        CPoint where;
        std::int32_t buttons;
    };
    std::deque<PointerStep> pointerSteps;
    MenuChooser menuChooser;
    std::vector<HeadlessPopupRecord> popupRecords;
};
