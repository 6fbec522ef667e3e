#include "editor/editor_bridge.h"

bool EffectGuiHost::sizeWindow(std::int32_t width, std::int32_t height) {
    return effect.sizeWindow(width, height);
}

bool EffectGuiHost::canHostDo(const char* text) {
    return effect.canHostDo(text);
}

void EffectGuiHost::idle() {
    effect.callHost(vst2::audioMasterIdle, 0, 0, nullptr, 0.0f);
}

void EffectGuiHost::beginEdit(std::int32_t index) {
    effect.beginEdit(index);
}

void EffectGuiHost::endEdit(std::int32_t index) {
    effect.endEdit(index);
}

EditorBridge::EditorBridge(PluginEffect& effect, std::unique_ptr<GuiPlatform> platform,
                           AllClosedHook allClosed)
    : effectForEditor(effect), guiHost(effect),
      pluginEditor(std::make_unique<PluginEditor>(&effectForEditor, &guiHost, std::move(platform))),
      allClosedHook(allClosed) {}

EditorBridge::~EditorBridge() {
    pluginEditor->close();
    countClosed();
}

void EditorBridge::countClosed() {
    if (counted) {
        counted = false;
        if (openCount.fetch_sub(1) == 1 && allClosedHook != nullptr) {
            allClosedHook();
        }
    }
}

bool EditorBridge::getRect(vst2::ERect** rect) {
    GuiEditorRect* editorRect = nullptr;
    pluginEditor->getRect(&editorRect);
    hostRect.top = editorRect->top;
    hostRect.left = editorRect->left;
    hostRect.bottom = editorRect->bottom;
    hostRect.right = editorRect->right;
    *rect = &hostRect;
    return true;
}

bool EditorBridge::open(void* parentWindow, void* hostConnection) {
    if (GuiPlatform* platform = pluginEditor->getPlatform()) {
        platform->setHostConnection(hostConnection);
    }
    const bool opened = pluginEditor->open(parentWindow);
    if (opened && !counted) {
        counted = true;
        openCount.fetch_add(1);
    } else if (!opened) {
        countClosed(); // a failed open leaves the editor closed
    }
    return opened;
}

void EditorBridge::close() {
    pluginEditor->close();
    countClosed();
}

void EditorBridge::idle() {
    pluginEditor->idle();
}

std::int32_t EditorBridge::onKeyDown(vst2::VstKeyCode& key) {
    CKeyCode code{key.character, key.virt, key.modifier};
    return pluginEditor->onKeyDown(code);
}

std::int32_t EditorBridge::onKeyUp(vst2::VstKeyCode& key) {
    CKeyCode code{key.character, key.virt, key.modifier};
    return pluginEditor->onKeyUp(code);
}

std::int32_t EditorBridge::setKnobMode(std::int32_t mode) {
    return pluginEditor->setKnobMode(mode);
}

void EditorBridge::postUpdate() {
    pluginEditor->postUpdate();
}

void EditorBridge::setParameter(std::int32_t index, float value) {
    pluginEditor->setParameter(index, value);
}
