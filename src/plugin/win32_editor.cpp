// The editor drawn in the host's window on Windows, through the Win32 backend.

#include <new>

#include "editor/editor_bridge.h"
#include "gui/cairo/cairo_surface.h"
#include "gui/win32/win32_platform.h"
#include "plugin/window_system_editor.h"

HostEditor* makeWindowSystemEditor(PluginEffect& effect) {
    try {
        // With no editor open, the font faces resolved for drawing text are
        // let go: a host may keep the module loaded for long without one.
        return new EditorBridge(effect, createWin32Platform(), releaseCachedFonts);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
