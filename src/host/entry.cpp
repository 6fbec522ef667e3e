// The module's entry point and the composition root: `main` (exported also as
// `VSTPluginMain`) creates one effect per call and hands the host its record.

#include <new>

#include "host/plugin_effect_with_editor.h"

bool outOfMemoryFlag = false;

PluginEffectWithEditor::PluginEffectWithEditor(vst2::HostCallback callback) : PluginEffect(callback) {
    // The editor arrives with the GUI toolkit; until then the effect reports none.
}

void PluginEffectWithEditor::setParameter(int32 index, float value) {
    PluginEffect::setParameter(index, value);
    if (editor != nullptr && index >= 0 && index < param::kCount && values[index] == value) {
        editor->setParameter(index, value);
    }
}

namespace {

vst2::AEffect* createEffect(vst2::HostCallback callback) {
    if (callback == nullptr || callback(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr; // a host too old to answer its version
    }
    auto* effect = new (std::nothrow) PluginEffectWithEditor(callback);
    if (effect == nullptr) {
        return nullptr;
    }
    if (outOfMemoryFlag) {
        delete effect;
        return nullptr;
    }
    return effect->getAeffect();
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(vst2::HostCallback callback) {
    return createEffect(callback);
}

// Old hosts look the entry up only as "main"; C++ cannot name a function so,
// so the same entry gets that symbol through an assembler label.
__attribute__((visibility("default"))) vst2::AEffect*
vornhaltLegacyMain(vst2::HostCallback callback) __asm__("main");
vst2::AEffect* vornhaltLegacyMain(vst2::HostCallback callback) {
    return createEffect(callback);
}
}
