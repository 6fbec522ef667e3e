#pragma once

// The editor as the effect creates it, on the headless backend, with the
// stand-in host that records the calls the effect makes (automation, edit
// gestures, idles), and helpers to open, idle and read the panel's pixels.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_bridge.h"
#include "editor/filter_display.h"
#include "gui/headless/headless_platform.h"
#include "plugin/plugin_effect_with_editor.h"
#include "support/fake_host.h"

// The effect with its editor on the headless backend, built through the
// composition root's own class.
struct HeadlessRig {
    static inline HeadlessPlatform* platform = nullptr;
    static HostEditor* makeHeadlessEditor(PluginEffect& effect) {
        auto owned = std::make_unique<HeadlessPlatform>();
        platform = owned.get();
        return new EditorBridge(effect, std::move(owned));
    }

    HeadlessRig() {
        FakeHost::reset();
        effect = std::make_unique<PluginEffectWithEditor>(&FakeHost::callback, &makeHeadlessEditor);
        bridge = static_cast<EditorBridge*>(effect->getEditor());
        headless = platform;
    }

    PluginEditor& editor() { return bridge->editor(); }
    // Opens the panel and delivers the window's first paint.
    bool open() {
        static int parentWindow;
        if (!editor().open(&parentWindow)) {
            return false;
        }
        headless->processEvents();
        return true;
    }
    HeadlessWindow& window() { return *headless->lastWindow(); }
    std::uint32_t pixel(std::int32_t x, std::int32_t y) { return window().screenPixel(x, y) & 0xffffffu; }
    // Host automation: the record's setParameter entry, as a host calls it.
    void hostSets(std::int32_t index, float value) {
        vst2::AEffect* record = effect->getAeffect();
        record->setParameter(record, index, value);
    }
    // A press on the panel, handled at once (a drag reads the queued pointer steps).
    void press(CPoint where, std::int32_t buttons) { window().mouseDown(where, buttons); }
    // The text a display or menu shows now.
    static std::string shownText(CParamDisplay* display) {
        char text[kDisplayTextSize];
        display->valueToString(text);
        return text;
    }

    std::unique_ptr<PluginEffectWithEditor> effect;
    EditorBridge* bridge = nullptr;
    HeadlessPlatform* headless = nullptr;
};

// 0xRRGGBB of a colour.
constexpr std::uint32_t rgbOf(CColor c) {
    return (static_cast<std::uint32_t>(c.red) << 16) | (static_cast<std::uint32_t>(c.green) << 8) | c.blue;
}
