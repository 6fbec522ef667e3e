// vornhalt-editor-shot: draws the editor headless into a PNG file.

#include <string>
#include <vector>

#include "editor_shot/editor_shot.h"

int main(int argc, char** argv) {
    return editorshot::runEditorShot(std::vector<std::string>(argv + 1, argv + argc));
}
