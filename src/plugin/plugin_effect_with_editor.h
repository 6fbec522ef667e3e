#pragma once

// The final effect class: the effect plus its editor. It is the only code that
// knows both, and it forwards every parameter change to the editor so that the
// matching control moves. Which window system the editor draws on is the
// factory's choice, made by whoever builds the module (see entry.cpp).

#include "host/plugin_effect.h"

class PluginEffectWithEditor final : public PluginEffect {
public:
    // Makes the editor for an effect; null when it cannot be made.
    using EditorFactory = HostEditor* (*)(PluginEffect& effect);

    // Creates the effect, then its editor (not opened yet). Without an editor
    // the effect reports none and `outOfMemoryFlag` is set.
    PluginEffectWithEditor(vst2::HostCallback callback, EditorFactory makeEditor);

    // [any thread; never waits or allocates] Stores the value, then marks the
    // editor's control to move at the editor's next idle.
    void setParameter(int32 index, float value) override;
};

// Set when an editor could not be created; once set, the module refuses to
// create effects for the rest of its life.
extern bool outOfMemoryFlag;

// The entry's work: the effect's record for a host, or null for a host that
// does not answer its version, when memory runs out, or once an editor could
// not be made.
vst2::AEffect* createEffect(vst2::HostCallback callback, PluginEffectWithEditor::EditorFactory makeEditor);
