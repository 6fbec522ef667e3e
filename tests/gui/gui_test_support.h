#pragma once

// Shared pieces of the toolkit's headless tests: a host that records what the
// toolkit asks of it, a listener that records reports, an editor that opens a
// frame on the headless backend, a view that counts its drawing, and a small
// PNG encoder for making test images.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/control.h"
#include "gui/gui_bitmap.h"
#include "gui/gui_editor.h"
#include "gui/headless/headless_platform.h"
#include "gui/view.h"

struct RecordingHost : GuiHost {
    std::vector<std::string> calls; // "begin 5", "end 5", "idle", "size 10x20", ...
    std::vector<std::uint32_t> idleTimes;
    HeadlessPlatform* clock = nullptr;
    GuiEditor* reenter = nullptr; // idle calls this editor's idle back, as hosts do
    bool canSize = true;

    bool sizeWindow(std::int32_t width, std::int32_t height) override {
        calls.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
        return true;
    }
    bool canHostDo(const char* text) override { return canSize && std::string(text) == "sizeWindow"; }
    void idle() override {
        calls.push_back("idle");
        if (clock != nullptr) {
            idleTimes.push_back(clock->time());
        }
        if (reenter != nullptr) {
            reenter->idle();
        }
    }
    void beginEdit(std::int32_t index) override { calls.push_back("begin " + std::to_string(index)); }
    void endEdit(std::int32_t index) override { calls.push_back("end " + std::to_string(index)); }
    std::int32_t count(const std::string& call) const {
        std::int32_t n = 0;
        for (const auto& c : calls) {
            n += c == call ? 1 : 0;
        }
        return n;
    }
};

struct RecordingListener : CControlListener {
    struct Report {
        CControl* control;
        float value;
        bool withContext;
    };
    std::vector<Report> reports;
    std::int32_t consumeModifiers = 0; // answer of modifierClicked
    std::vector<std::int32_t> modifierClicks;

    void valueChanged(CDrawContext* context, CControl* control) override {
        reports.push_back({control, control->getValue(), context != nullptr});
    }
    std::int32_t modifierClicked(CDrawContext* /*context*/, CControl* /*control*/,
                                 std::int32_t buttons) override {
        modifierClicks.push_back(buttons);
        return consumeModifiers;
    }
    float last() const { return reports.empty() ? -999.f : reports.back().value; }
};

// An editor whose open builds an empty frame of the given size on the
// headless backend. The platform is reachable for scripting.
class HeadlessEditor : public GuiEditor {
public:
    explicit HeadlessEditor(GuiHost* guiHost, std::int32_t w = 200, std::int32_t h = 100)
        : GuiEditor(guiHost, std::make_unique<HeadlessPlatform>()), width(w), height(h) {}
    ~HeadlessEditor() override { deleteFrame(); }

    bool open(void* parent) override {
        GuiEditor::open(parent);
        frame = new CFrame(CRect(0, 0, width, height), parent, this);
        return frame->isOpen();
    }
    void close() override { deleteFrame(); }
    HeadlessPlatform& platform() { return *static_cast<HeadlessPlatform*>(getPlatform()); }
    HeadlessWindow& window() { return *platform().lastWindow(); }
    // Opens and delivers the window's first paint request.
    void openAndPaint() {
        static int parentToken;
        open(&parentToken);
        platform().processEvents();
    }

private:
    std::int32_t width;
    std::int32_t height;
};

// A view that fills itself with one colour and counts its draws.
class ColourView : public CView {
public:
    ColourView(const CRect& rect, CColor fill, std::vector<std::string>* drawLog = nullptr,
               std::string viewName = "")
        : CView(rect), colour(fill), log(drawLog), name(std::move(viewName)) {}

    void draw(CDrawContext* context) override {
        ++draws;
        if (log != nullptr) {
            log->push_back(name);
        }
        context->setFillColor(colour);
        context->fillRect(size);
        setDirty(false);
    }
    void mouse(CDrawContext* /*context*/, CPoint& where, std::int32_t buttons) override {
        ++presses;
        lastWhere = where;
        lastButtons = buttons;
    }

    CColor colour;
    std::vector<std::string>* log;
    std::string name;
    int draws = 0;
    int presses = 0;
    CPoint lastWhere;
    std::int32_t lastButtons = 0;
};

// 0xAARRGGBB from bytes.
constexpr std::uint32_t argb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}
constexpr std::uint32_t opaque(CColor c) {
    return argb(255, c.red, c.green, c.blue);
}

// PNG bytes from rows of samples as libpng writes them for the colour type.
struct PngRecipe {
    std::int32_t width = 1;
    std::int32_t height = 1;
    int colourType = 6; // PNG_COLOR_TYPE_RGB_ALPHA
    int bitDepth = 8;
    bool interlaced = false;
    std::vector<std::vector<std::uint8_t>> rows;
    std::vector<std::uint8_t> paletteRgb;   // palette entries, 3 bytes each
    std::vector<std::uint8_t> transparency; // tRNS: palette alphas, or one grey / RGB key (16-bit values)
};
std::vector<std::uint8_t> encodePng(const PngRecipe& recipe);
