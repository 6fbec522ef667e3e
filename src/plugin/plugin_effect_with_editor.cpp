#include "plugin/plugin_effect_with_editor.h"

#include <new>

bool outOfMemoryFlag = false;

PluginEffectWithEditor::PluginEffectWithEditor(vst2::HostCallback callback, EditorFactory makeEditor)
    : PluginEffect(callback) {
    HostEditor* made = makeEditor != nullptr ? makeEditor(*this) : nullptr;
    if (made == nullptr) {
        outOfMemoryFlag = true;
        return;
    }
    setEditor(made);
    cEffect.flags |= vst2::effFlagsHasEditor;
}

void PluginEffectWithEditor::setParameter(int32 index, float value) {
    PluginEffect::setParameter(index, value);
    // A value the effect refused (not a number, no such index) moves nothing.
    if (editor != nullptr && param::validIndex(index) && values[index] == value) {
        editor->setParameter(index, value);
    }
}

vst2::AEffect* createEffect(vst2::HostCallback callback, PluginEffectWithEditor::EditorFactory makeEditor) {
    if (callback == nullptr || callback(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) {
        return nullptr; // a host too old to answer its version
    }
    auto* effect = new (std::nothrow) PluginEffectWithEditor(callback, makeEditor);
    if (effect == nullptr) {
        return nullptr;
    }
    if (outOfMemoryFlag) {
        delete effect;
        return nullptr;
    }
    return effect->getAeffect();
}
