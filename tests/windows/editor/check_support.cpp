#include "checks.h"
#include "editor_session.h"

Image captureEditor(HostUi& ui, const EditorSession& session) {
    Image picture;
    ui.call([&] { picture = captureWindow(session.editorWindow()); });
    return picture;
}

int countDifferent(const Image& a, const Image& b, const RECT* area) {
    if (a.width != b.width || a.height != b.height || a.isEmpty()) {
        return -1;
    }
    const RECT all{0, 0, a.width, a.height};
    const RECT& r = area != nullptr ? *area : all;
    int different = 0;
    for (int y = std::max(0L, r.top); y < std::min<long>(a.height, r.bottom); ++y) {
        for (int x = std::max(0L, r.left); x < std::min<long>(a.width, r.right); ++x) {
            different += a.at(x, y) != b.at(x, y) ? 1 : 0;
        }
    }
    return different;
}

std::wstring windowClassOf(HWND window) {
    wchar_t name[128] = {};
    if (window == nullptr || GetClassNameW(window, name, 128) == 0) {
        return {};
    }
    return name;
}

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out += c < 128 ? static_cast<char>(c) : '?';
    }
    return out;
}
