// The composition root: the effect meets its editor, and the editor its
// window system (X11, in the host's own parent window).

#include "host/plugin_effect_with_editor.h"

#include <new>

#include "editor/editor_bridge.h"
#include "gui/cairo/cairo_surface.h"
#include "gui/x11/x11_platform.h"

bool outOfMemoryFlag = false;

HostEditor* PluginEffectWithEditor::makeX11Editor(PluginEffect& effect) {
    try {
        // With no editor open, the font faces resolved for drawing text are
        // let go: a host may keep the module loaded for long without one.
        return new EditorBridge(effect, createX11Platform(), releaseCachedFonts);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

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
    if (editor != nullptr && index >= 0 && index < param::kCount && values[index] == value) {
        editor->setParameter(index, value);
    }
}

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
