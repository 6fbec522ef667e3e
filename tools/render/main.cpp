// vornhalt-render: renders audio files through the Vornhalt plug-in from the command line.

#include <string>
#include <vector>

#include "render/render_app.h"

int main(int argc, char** argv) {
    return vrender::runRenderer(std::vector<std::string>(argv + 1, argv + argc));
}
