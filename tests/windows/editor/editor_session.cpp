#include "editor_session.h"

EditorSession::EditorSession(HostUi& ui_, const PluginModule& module) : ui(ui_) {
    if (vst2::AEffect* record = module.createEffect()) {
        effect = std::make_unique<HostedEffect>(record);
    }
}

EditorSession::~EditorSession() {
    close();
    closeWindow();
    ui.call([this] { effect.reset(); });
}

bool EditorSession::open(int x, int y) {
    bool opened = false;
    ui.call([&] {
        vst2::ERect* rect = nullptr;
        effect->dispatch(vst2::effEditGetRect, 0, 0, &rect);
        if (rect != nullptr) {
            editorWidth = rect->right - rect->left;
            editorHeight = rect->bottom - rect->top;
        }
        topLevel = ui.makeWindow(x, y, editorWidth, editorHeight);
        opened = openIn(topLevel);
    });
    return opened;
}

bool EditorSession::reopen() {
    bool opened = false;
    ui.call([&] { opened = openIn(topLevel); });
    return opened;
}

bool EditorSession::openIn(HWND parent) {
    editorOpen = effect->dispatch(vst2::effEditOpen, 0, 0, parent) != 0;
    ui.setIdling(effect.get(), editorOpen);
    return editorOpen;
}

void EditorSession::close() {
    ui.call([this] {
        if (editorOpen) {
            ui.setIdling(effect.get(), false);
            effect->dispatch(vst2::effEditClose);
            editorOpen = false;
        }
    });
}

void EditorSession::closeWindow() {
    ui.call([this] {
        if (topLevel != nullptr) {
            DestroyWindow(topLevel);
            topLevel = nullptr;
        }
    });
}

void EditorSession::destroyWindowUnderEditor() {
    ui.call([this] {
        DestroyWindow(topLevel);
        topLevel = nullptr;
    });
}

void EditorSession::setIdling(bool idling) {
    ui.call([this, idling] { ui.setIdling(effect.get(), idling && editorOpen); });
}

HWND EditorSession::editorWindow() const {
    return topLevel != nullptr ? GetWindow(topLevel, GW_CHILD) : nullptr;
}
