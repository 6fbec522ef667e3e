// --editor-shot on the command line, and the call it makes to the helper that draws the editor.

#include <gtest/gtest.h>

#include "render/editor_shot_call.h"
#include "render/options.h"

using namespace vrender;

TEST(EditorShotOption, IsAThingToDoOnItsOwnAndIsGivenOnce) {
    Options options;
    std::string error;
    ASSERT_TRUE(parseOptions({"--editor-shot", "panel.png"}, options, error)) << error;
    EXPECT_EQ(options.editorShot, "panel.png");
    EXPECT_FALSE(options.renders());

    options = Options{};
    ASSERT_TRUE(parseOptions({"--set", "Mix=1", "--editor-shot=a.png", "in.wav", "out.wav"}, options, error));
    EXPECT_EQ(options.editorShot, "a.png");
    EXPECT_TRUE(options.renders());

    options = Options{};
    EXPECT_FALSE(parseOptions({"--editor-shot", "a.png", "--editor-shot", "b.png"}, options, error));
    options = Options{};
    EXPECT_FALSE(parseOptions({"--editor-shot"}, options, error));
    EXPECT_NE(helpText().find("--editor-shot"), std::string::npos);
}

TEST(EditorShotOption, TheHelperGetsTheStateOnStandardInputAndTheRunsContext) {
    EditorShotCall call;
    call.currentProgram = 7;
    call.sampleRate = 48000.0;
    call.bpm = 96.5;
    call.output = "out/panel.png";
    const std::vector<std::string> expected = {
        "--bank-chunk", "-", "--program", "7", "--sample-rate", "48000", "--bpm", "96.5", "out/panel.png"};
    EXPECT_EQ(editorShotArguments(call), expected);

    call.program = "/nonexistent/vornhalt-editor-shot";
    std::string error;
    EXPECT_FALSE(runEditorShot(call, error));
    EXPECT_NE(error.find("/nonexistent/vornhalt-editor-shot"), std::string::npos);
}
