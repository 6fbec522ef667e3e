#pragma once

// The test's host side of the binary interface: the module loaded with
// LoadLibrary and entered through VSTPluginMain, as a Windows host does, and
// a host callback that answers what the effect and its editor ask (the
// version, the time with a tempo of 120, idling) and counts the gestures.

#include <windows.h>

#include <atomic>
#include <string>

#include "common/vst2.h"

class PluginModule {
public:
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool isLoaded() const { return entry != nullptr; }
    HMODULE handle() const { return module; }
    // A new effect at 44.1 kHz; null when the entry refuses.
    vst2::AEffect* createEffect() const;

private:
    HMODULE module = nullptr;
    vst2::EntryProc entry = nullptr;
};

// What the host callback saw, over all effects.
struct HostCounters {
    std::atomic<int> idleRequests{0};
    std::atomic<int> automations{0};
    std::atomic<int> gestureBegins{0};
    std::atomic<int> gestureEnds{0};
};
HostCounters& hostCounters();

// One effect as the host holds it; closed and released at the end.
class HostedEffect {
public:
    explicit HostedEffect(vst2::AEffect* record);
    ~HostedEffect();
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    vst2::intptr dispatch(vst2::int32 opcode, vst2::int32 index = 0, vst2::intptr value = 0,
                          void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    // Through the record's own functions, as a host's automation does.
    float get(vst2::int32 index) const { return effect->getParameter(effect, index); }
    void set(vst2::int32 index, float value) { effect->setParameter(effect, index, value); }
    vst2::AEffect* record() const { return effect; }

private:
    vst2::AEffect* effect;
};
