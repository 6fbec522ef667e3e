// The module's entry points: `VSTPluginMain`, and the same entry as `main` for
// older hosts. Each call creates one effect, with its editor on the window
// system this module was built for, and hands the host its record.

#include "plugin/plugin_effect_with_editor.h"
#include "plugin/window_system_editor.h"

extern "C" {

__attribute__((visibility("default"))) vst2::AEffect* VSTPluginMain(vst2::HostCallback callback) {
    return createEffect(callback, makeWindowSystemEditor);
}

// Old hosts look the entry up only as "main"; C++ cannot name a function so,
// so the same entry gets that symbol through an assembler label.
__attribute__((visibility("default"))) vst2::AEffect*
vornhaltLegacyMain(vst2::HostCallback callback) __asm__("main");
vst2::AEffect* vornhaltLegacyMain(vst2::HostCallback callback) {
    return createEffect(callback, makeWindowSystemEditor);
}
}
