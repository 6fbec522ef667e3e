#pragma once

// The editor as the effect creates it, on the headless backend: a stand-in
// host that records the calls the effect makes (automation, edit gestures,
// idles) in order, and helpers to open, idle and read the panel's pixels.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_bridge.h"
#include "editor/filter_display.h"
#include "gui/headless/headless_platform.h"
#include "plugin/plugin_effect_with_editor.h"

struct RecordingHost {
    struct Call {
        vst2::int32 opcode;
        vst2::int32 index;
        float value;
    };
    static inline std::vector<Call> calls;
    static inline vst2::VstTimeInfo time{};

    static void reset() {
        calls.clear();
        time = {};
        time.tempo = 120.0;
        time.sampleRate = 44100.0;
        time.flags = vst2::kVstTempoValid;
    }
    static vst2::intptr callback(vst2::AEffect*, vst2::int32 opcode, vst2::int32 index, vst2::intptr, void*,
                                 float opt) {
        switch (opcode) {
        case vst2::audioMasterVersion:
            return 2400;
        case vst2::audioMasterGetTime:
            return reinterpret_cast<vst2::intptr>(&time);
        default:
            calls.push_back({opcode, index, opt});
            return 0;
        }
    }
    // "automate 19", "begin 19", "end 19", as they came, leaving out idles.
    static std::vector<std::string> log() {
        std::vector<std::string> out;
        for (const Call& c : calls) {
            switch (c.opcode) {
            case vst2::audioMasterAutomate:
                out.push_back("automate " + std::to_string(c.index));
                break;
            case vst2::audioMasterBeginEdit:
                out.push_back("begin " + std::to_string(c.index));
                break;
            case vst2::audioMasterEndEdit:
                out.push_back("end " + std::to_string(c.index));
                break;
            default:
                break;
            }
        }
        return out;
    }
    static std::vector<float> automated(vst2::int32 index) {
        std::vector<float> out;
        for (const Call& c : calls) {
            if (c.opcode == vst2::audioMasterAutomate && c.index == index) {
                out.push_back(c.value);
            }
        }
        return out;
    }
};

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
        RecordingHost::reset();
        effect = std::make_unique<PluginEffectWithEditor>(&RecordingHost::callback, &makeHeadlessEditor);
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
