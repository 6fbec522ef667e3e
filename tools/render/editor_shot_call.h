#pragma once

// --editor-shot: the picture of the editor is drawn by vornhalt-editor-shot, a separate program
// beside this one that links the effect and its editor with a headless backend. The renderer hands
// it the bank chunk it read from the loaded plug-in (on its standard input) with the current
// program, sample rate and tempo, so it keeps knowing the plug-in through the binary interface only.

#include <cstdint>
#include <string>
#include <vector>

namespace vrender {

struct EditorShotCall {
    std::string program;                 // the helper's path
    std::vector<std::uint8_t> bankChunk; // the plug-in's bank chunk
    int currentProgram = 0;
    double sampleRate = 44100.0;
    double bpm = 120.0;
    std::string output; // the PNG file to write
};

// The helper's arguments for a call (without the program name).
std::vector<std::string> editorShotArguments(const EditorShotCall& call);

// Runs the helper and waits for it; false with a one-line reason (the helper reports its own
// errors on stderr as well).
bool runEditorShot(const EditorShotCall& call, std::string& error);

} // namespace vrender
