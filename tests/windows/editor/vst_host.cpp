#include "vst_host.h"

namespace {

vst2::VstTimeInfo& timeInfo() {
    static vst2::VstTimeInfo time = [] {
        vst2::VstTimeInfo t{};
        t.sampleRate = 44100.0;
        t.tempo = 120.0;
        t.flags = vst2::kVstTempoValid;
        return t;
    }();
    return time;
}

// An idle request is answered with an editor idle at once, on the calling
// thread, as some hosts do: the editor has to keep that from recursing.
vst2::intptr hostCallback(vst2::AEffect* effect, vst2::int32 opcode, vst2::int32 /*index*/,
                          vst2::intptr /*value*/, void* /*ptr*/, float /*opt*/) {
    HostCounters& counters = hostCounters();
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterGetTime:
        return reinterpret_cast<vst2::intptr>(&timeInfo());
    case vst2::audioMasterIdle:
        ++counters.idleRequests;
        if (effect != nullptr) {
            effect->dispatcher(effect, vst2::effEditIdle, 0, 0, nullptr, 0.0f);
        }
        return 0;
    case vst2::audioMasterAutomate:
        ++counters.automations;
        return 0;
    case vst2::audioMasterBeginEdit:
        ++counters.gestureBegins;
        return 0;
    case vst2::audioMasterEndEdit:
        ++counters.gestureEnds;
        return 0;
    default:
        return 0;
    }
}

} // namespace

HostCounters& hostCounters() {
    static HostCounters counters;
    return counters;
}

PluginModule::PluginModule(const std::string& path) {
    module = LoadLibraryA(path.c_str());
    if (module != nullptr) {
        entry = reinterpret_cast<vst2::EntryProc>(
            reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    }
}

PluginModule::~PluginModule() {
    if (module != nullptr) {
        FreeLibrary(module);
    }
}

vst2::AEffect* PluginModule::createEffect() const {
    vst2::AEffect* effect = entry != nullptr ? entry(hostCallback) : nullptr;
    if (effect == nullptr || effect->magic != vst2::kEffectMagic) {
        return nullptr;
    }
    effect->dispatcher(effect, vst2::effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, vst2::effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect->dispatcher(effect, vst2::effSetBlockSize, 0, 512, nullptr, 0.0f);
    return effect;
}

HostedEffect::HostedEffect(vst2::AEffect* record) : effect(record) {}

HostedEffect::~HostedEffect() {
    if (effect != nullptr) {
        effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
    }
}
