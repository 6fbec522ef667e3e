#pragma once

// The final effect class: the effect plus its editor. It is the only code that
// knows both, and it forwards every parameter change to the editor so that the
// matching control moves.

#include "host/plugin_effect.h"

class PluginEffectWithEditor final : public PluginEffect {
public:
    explicit PluginEffectWithEditor(vst2::HostCallback callback);

    void setParameter(int32 index, float value) override;
};

// Set when an editor could not be created; once set, the module refuses to
// create effects for the rest of its life.
extern bool outOfMemoryFlag;
