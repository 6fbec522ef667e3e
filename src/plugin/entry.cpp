// The module's entry points: `VSTPluginMain`, and the same entry as `main` for
// older hosts. Each call creates one effect, with its editor on the window
// system this module was built for, and hands the host its record.

#include "plugin/plugin_effect_with_editor.h"
#include "plugin/window_system_editor.h"

// On Linux the version script keeps the default-visibility symbols only. A
// Windows DLL exports what vornhalt.def lists, `main` among them as a second
// name of the same entry.
#if defined(_WIN32)
#define VORNHALT_ENTRY
#else
#define VORNHALT_ENTRY __attribute__((visibility("default")))
#endif

extern "C" {

VORNHALT_ENTRY vst2::AEffect* VSTPluginMain(vst2::HostCallback callback) {
    return createEffect(callback, makeWindowSystemEditor);
}

#if !defined(_WIN32)
// Old hosts look the entry up only as "main"; C++ cannot name a function so,
// so the same entry gets that symbol through an assembler label.
VORNHALT_ENTRY vst2::AEffect* vornhaltLegacyMain(vst2::HostCallback callback) __asm__("main");
vst2::AEffect* vornhaltLegacyMain(vst2::HostCallback callback) {
    return createEffect(callback, makeWindowSystemEditor);
}
#endif
}
