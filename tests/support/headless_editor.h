#pragma once

// The effect's editor on the headless backend, as the composition root would
// make it for a window system: for tests and fuzzers that need the effect with
// an editor but no display.

#include <memory>

#include "editor/editor_bridge.h"
#include "gui/headless/headless_platform.h"

inline HostEditor* headlessEditor(PluginEffect& effect) {
    return new EditorBridge(effect, std::make_unique<HeadlessPlatform>());
}
