#pragma once

// vornhalt-editor-shot: draws the Vornhalt editor without any display, for a
// given effect state, and saves it as a PNG file. It is a composition root of
// its own: the effect and its editor are linked in and the editor is given the
// headless backend. vornhalt-render runs it for --editor-shot, handing over
// the bank chunk it read from the plug-in, so the renderer itself still knows
// the plug-in only through the binary interface.

#include <cstdint>
#include <string>
#include <vector>

namespace editorshot {

struct ShotRequest {
    std::vector<std::uint8_t> bankChunk; // empty: the factory bank
    int program = 0;
    double sampleRate = 44100.0; // the rate and tempo the displays' values are derived at
    double bpm = 120.0;
    std::string output;
};

// Draws the editor for the request and writes the PNG (through a temporary
// file beside it); false with a one-line reason.
bool drawEditorShot(const ShotRequest& request, std::string& error);

// The command line: 0 success, 1 failure, 2 bad arguments.
int runEditorShot(const std::vector<std::string>& arguments);

std::string usageText();

} // namespace editorshot
