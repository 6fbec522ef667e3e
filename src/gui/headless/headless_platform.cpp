#include "gui/headless/headless_platform.h"

#include <algorithm>

#include "gui/popup_menu.h"

// ---------------------------------------------------------------- HeadlessWindow

HeadlessWindow::HeadlessWindow(HeadlessPlatform& platform_, std::int32_t width, std::int32_t height,
                               GuiWindowClient& client_)
    : platform(platform_), client(client_), screenSurface(std::make_unique<CairoSurface>(width, height)) {
    screenSurface->fillRect(CRect(0, 0, width, height), kUnpaintedColour);
    platform.windows.push_back(this);
    // A freshly shown window asks for all of itself, as a window system does.
    expose(CRect(0, 0, width, height));
}

HeadlessWindow::~HeadlessWindow() {
    auto& list = platform.windows;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void HeadlessWindow::present(GuiSurface& backBuffer, const CRect& area) {
    if (gone) {
        return;
    }
    screenSurface->setClip(CRect(0, 0, screenSurface->width(), screenSurface->height()));
    screenSurface->copySurface(backBuffer, area, CPoint(area.left, area.top));
    ++presents;
    lastArea = area;
}

void HeadlessWindow::setSize(std::int32_t width, std::int32_t height) {
    screenSurface = std::make_unique<CairoSurface>(width, height);
    screenSurface->fillRect(CRect(0, 0, width, height), kUnpaintedColour);
    expose(CRect(0, 0, width, height));
}

void HeadlessWindow::expose(const CRect& area) {
    pendingPaint.unite(area);
}

void HeadlessWindow::queueMouseDown(CPoint where, std::int32_t buttons) {
    pendingPresses.push_back({where, buttons});
}

void HeadlessWindow::mouseDown(CPoint where, std::int32_t buttons) {
    if (!gone) {
        client.windowMouseDown(where, buttons);
    }
}

void HeadlessWindow::wheel(CPoint where, float distance, std::int32_t axis, std::int32_t buttons) {
    if (!gone) {
        client.windowWheel(where, distance, axis, buttons);
    }
}

void HeadlessWindow::destroyByHost() {
    if (!gone) {
        gone = true;
        pendingPaint = CRect();
        pendingPresses.clear();
        client.windowDestroyed();
    }
}

std::uint32_t HeadlessWindow::screenPixel(std::int32_t x, std::int32_t y) {
    GuiPixels p = screenSurface->pixels();
    if (x < 0 || y < 0 || x >= p.width || y >= p.height) {
        return 0;
    }
    return p
        .data[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) + static_cast<std::size_t>(x)];
}

bool HeadlessWindow::deliverPaint() {
    if (gone || pendingPaint.isEmpty()) {
        return false;
    }
    CRect area = pendingPaint;
    pendingPaint = CRect();
    client.windowPaint(area);
    return true;
}

bool HeadlessWindow::deliverOne() {
    if (deliverPaint()) {
        return true;
    }
    if (gone || pendingPresses.empty()) {
        return false;
    }
    Press press = pendingPresses.front();
    pendingPresses.pop_front();
    client.windowMouseDown(press.where, press.buttons);
    return true;
}

// ---------------------------------------------------------------- HeadlessPlatform

HeadlessPlatform::HeadlessPlatform() = default;

HeadlessPlatform::~HeadlessPlatform() = default;

std::unique_ptr<GuiWindow> HeadlessPlatform::createWindow(void* parent, std::int32_t width,
                                                          std::int32_t height, GuiWindowClient& client) {
    if (parent == nullptr || width <= 0 || height <= 0) {
        return nullptr;
    }
    return std::make_unique<HeadlessWindow>(*this, width, height, client);
}

std::unique_ptr<GuiSurface> HeadlessPlatform::createSurface(std::int32_t width, std::int32_t height) {
    return makeCairoSurface(width, height);
}

std::int32_t HeadlessPlatform::pointerState(GuiWindow* /*window*/, CPoint* where) {
    if (where != nullptr) {
        if (!pointerSteps.empty()) {
            pointer = pointerSteps.front().where;
            buttons = pointerSteps.front().buttons;
            pointerSteps.pop_front();
        }
        *where = pointer;
    }
    return buttons;
}

std::uint32_t HeadlessPlatform::tickCount() {
    std::uint32_t now = clock;
    clock += clockStep;
    return now;
}

void HeadlessPlatform::sleep(std::uint32_t milliseconds) {
    clock += milliseconds;
    slept += milliseconds;
}

void HeadlessPlatform::setPointer(CPoint where, std::int32_t buttonState) {
    pointerSteps.clear();
    pointer = where;
    buttons = buttonState;
}

void HeadlessPlatform::queuePointer(CPoint where, std::int32_t buttonState) {
    pointerSteps.push_back({where, buttonState});
}

namespace {

void flatten(const GuiPopupMenu& menu, std::vector<GuiPopupItem>& out) {
    for (const GuiPopupItem& item : menu.items) {
        out.push_back(item);
        if (item.submenu != nullptr) {
            flatten(*item.submenu, out);
        }
    }
}

} // namespace

void HeadlessPlatform::chooseMenuItem(const std::string& text) {
    menuChooser = [text](const HeadlessPopupRecord& record) {
        for (const GuiPopupItem& item : record.items) {
            if (item.text == text && item.isSelectable()) {
                return item.id;
            }
        }
        return -1;
    };
}

std::int32_t HeadlessPlatform::popupMenu(GuiWindow& /*owner*/, const GuiPopupMenu& menu,
                                         CPoint screenPosition, bool rightButton, GuiMenuPainter& painter) {
    HeadlessPopupRecord record;
    flatten(menu, record.items);
    record.position = screenPosition;
    record.rightButton = rightButton;
    CairoSurface measure(1, 1);
    GuiPopupLayout layout = layoutPopupMenu(menu, painter, measure);
    record.picture = std::make_unique<CairoSurface>(layout.size.h, layout.size.v);
    renderPopupMenu(menu, layout, painter, *record.picture, -1);
    std::int32_t chosen = menuChooser ? menuChooser(record) : -1;
    popupRecords.push_back(std::move(record));
    // Only an id the menu handed out, of an item that can be chosen, counts.
    const std::vector<GuiPopupItem>& items = popupRecords.back().items;
    bool valid = std::any_of(items.begin(), items.end(), [chosen](const GuiPopupItem& item) {
        return item.id == chosen && item.isSelectable();
    });
    return valid ? chosen : -1;
}

void HeadlessPlatform::processEvents() {
    // One event at a time: handling one may close a window (and delete it).
    std::vector<HeadlessWindow*> current = windows;
    for (HeadlessWindow* window : current) {
        while (std::find(windows.begin(), windows.end(), window) != windows.end() && window->deliverOne()) {
        }
    }
}

bool HeadlessPlatform::dispatchPendingPaint() {
    for (HeadlessWindow* window : windows) {
        if (window->deliverPaint()) {
            return true;
        }
    }
    return false;
}
