#pragma once

// One effect with its editor in a top-level window of the host, opened and
// closed on the UI thread as a host does: effEditGetRect, a window of that
// size, effEditOpen with its handle, idling; effEditClose, then the window
// goes.

#include <windows.h>

#include <memory>

#include "host_ui.h"
#include "vst_host.h"

class EditorSession {
public:
    EditorSession(HostUi& ui, const PluginModule& module);
    ~EditorSession();
    EditorSession(const EditorSession&) = delete;
    EditorSession& operator=(const EditorSession&) = delete;

    bool hasEffect() const { return effect != nullptr; }
    HostedEffect& hosted() { return *effect; }

    // Opens the editor in a new window whose client area starts at (x, y) on
    // the screen; false when effEditOpen refuses.
    bool open(int x, int y);
    // Opens it again in the window it has (after close()).
    bool reopen();
    // effEditClose; the window stays (reopen) until closeWindow().
    void close();
    void closeWindow();
    // The host destroys its window with the editor still open in it.
    void destroyWindowUnderEditor();
    void setIdling(bool idling);

    HWND window() const { return topLevel; }
    // The editor's own window: the first child of the host's, or null.
    HWND editorWindow() const;
    int width() const { return editorWidth; }
    int height() const { return editorHeight; }

private:
    bool openIn(HWND parent);

    HostUi& ui;
    std::unique_ptr<HostedEffect> effect;
    HWND topLevel = nullptr;
    int editorWidth = 0;
    int editorHeight = 0;
    bool editorOpen = false;
};
