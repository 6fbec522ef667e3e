#pragma once

// The editor on the module's window system. Each window backend defines this
// factory in a source of its own, and the module's build target compiles the
// one for its platform: nothing above names a backend.

#include "host/plugin_effect.h"

// [ui thread] The editor for `effect`, or null when it cannot be made.
HostEditor* makeWindowSystemEditor(PluginEffect& effect);
