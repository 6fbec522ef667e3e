#pragma once

// Joins the editor to the effect's host layer in both directions: to the host
// layer it is the effect's editor (`HostEditor`: rectangle, open, idle, close,
// keys, knob mode, parameter changes), and to the toolkit it stands for the
// host (`GuiHost`: window size, capabilities, idling the host, edit
// gestures), reached through the effect's host calls. It owns the
// `PluginEditor`; which window system the editor draws on is the platform
// its creator hands in.

#include <atomic>
#include <memory>

#include "editor/plugin_editor.h"
#include "host/host_editor.h"
#include "host/plugin_effect.h"

// The effect as the editor sees it.
class EffectForEditor final : public EditorEffect {
public:
    explicit EffectForEditor(PluginEffect& effect_) : effect(effect_) {}

    float getParameter(std::int32_t index) override { return effect.getParameter(index); }
    float getDisplayValue(std::int32_t index) override { return effect.getDisplayValue(index); }
    void setParameterAutomated(std::int32_t index, float value) override {
        effect.setParameterAutomated(index, value);
    }

private:
    PluginEffect& effect;
};

// The host as the toolkit sees it, over the effect's host calls.
class EffectGuiHost final : public GuiHost {
public:
    explicit EffectGuiHost(PluginEffect& effect_) : effect(effect_) {}

    bool sizeWindow(std::int32_t width, std::int32_t height) override;
    bool canHostDo(const char* text) override;
    // The host may answer with an editor idle at once, on this thread; the
    // editor's in-idle guard keeps that from recursing.
    void idle() override;
    void beginEdit(std::int32_t index) override;
    void endEdit(std::int32_t index) override;

private:
    PluginEffect& effect;
};

class EditorBridge final : public HostEditor {
public:
    // Run when the module's last open editor closes: the backend may let go
    // of what it keeps for drawing (such as resolved font faces).
    using AllClosedHook = void (*)();

    // The effect must outlive the bridge (the effect owns it).
    EditorBridge(PluginEffect& effect, std::unique_ptr<GuiPlatform> platform,
                 AllClosedHook allClosed = nullptr);
    ~EditorBridge() override;
    EditorBridge(const EditorBridge&) = delete;
    EditorBridge& operator=(const EditorBridge&) = delete;

    PluginEditor& editor() { return *pluginEditor; }

    // [ui thread]
    bool getRect(vst2::ERect** rect) override;
    bool open(void* parentWindow, void* hostConnection) override;
    void close() override;
    void idle() override;
    std::int32_t onKeyDown(vst2::VstKeyCode& key) override;
    std::int32_t onKeyUp(vst2::VstKeyCode& key) override;
    std::int32_t setKnobMode(std::int32_t mode) override;
    // [any thread]
    void postUpdate() override;
    void setParameter(std::int32_t index, float value) override;

    // Editors of this module open now.
    static int openEditors() { return openCount.load(); }

private:
    void countClosed();

    // Editors may be opened by several instances; hosts drive them from their
    // UI thread, but nothing here relies on it being one thread.
    static inline std::atomic<int> openCount{0};

    EffectForEditor effectForEditor;
    EffectGuiHost guiHost;
    std::unique_ptr<PluginEditor> pluginEditor;
    AllClosedHook allClosedHook;
    bool counted = false;
    // The rectangle handed to the host; valid for the bridge's life.
    vst2::ERect hostRect{};
};
