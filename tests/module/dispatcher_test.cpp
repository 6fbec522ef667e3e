// Every dispatcher opcode answers as hosts expect, including the odd ones.

#include <cstring>
#include <map>
#include <vector>

#include <gtest/gtest.h>

#include "host/plugin_host.h"

using namespace vst2;

namespace {

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
        host.open(44100.0, 512);
    }
    intptr call(int32 opcode, int32 index = 0, intptr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return host.dispatch(opcode, index, value, ptr, opt);
    }
    vhost::PluginHost host;
};

} // namespace

TEST_F(Dispatcher, OpcodesWithAnswersOfTheirOwn) {
    char text[256] = {};
    EXPECT_EQ(call(effOpen), 0);
    EXPECT_EQ(call(effGetProgram), 0);
    EXPECT_EQ(call(effSetProgram, 0, 3), 0);
    EXPECT_EQ(call(effGetProgram), 3);
    EXPECT_EQ(call(effSetProgram, 0, 32), 0); // out of range: nothing happens
    EXPECT_EQ(call(effGetProgram), 3);
    EXPECT_EQ(call(effSetProgramName, 0, 0, const_cast<char*>("Named")), 0);
    EXPECT_EQ(call(effGetProgramName, 0, 0, text), 0);
    EXPECT_STREQ(text, "Named");
    EXPECT_EQ(call(effGetParamLabel, 4, 0, text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(call(effGetParamDisplay, 4, 0, text), 0);
    EXPECT_STREQ(text, "0.80");
    EXPECT_EQ(call(effGetParamName, 4, 0, text), 0);
    EXPECT_STREQ(text, "A Warp");
    EXPECT_EQ(call(effGetVu), 0);
    EXPECT_EQ(call(effSetSampleRate, 0, 0, nullptr, 48000.0f), 0);
    EXPECT_EQ(call(effSetBlockSize, 0, 256), 0);
    EXPECT_EQ(call(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(call(effMainsChanged, 0, 1), 0); // resume answers 0 too
    EXPECT_EQ(call(effIdentify, 7, 99, text, 1.5f), kIdentifyAnswer);
    EXPECT_EQ(call(effIdentify), 0x4E764566);

    void* chunk = nullptr;
    EXPECT_EQ(call(effGetChunk, 0, 0, &chunk), 14592);
    EXPECT_NE(chunk, nullptr);
    EXPECT_EQ(call(effGetChunk, 1, 0, &chunk), 456);
    std::vector<char> preset(static_cast<char*>(chunk), static_cast<char*>(chunk) + 456);
    EXPECT_EQ(call(effSetChunk, 1, 456, preset.data()), 1);
    EXPECT_EQ(call(effSetChunk, 1, 455, preset.data()), 0);
    EXPECT_EQ(call(effSetChunk, 0, 14592, nullptr), 0);
    EXPECT_EQ(call(effSetChunk, 0, -1, preset.data()), 0);

    VstEvents none{};
    EXPECT_EQ(call(effProcessEvents, 0, 0, &none), 1);
    EXPECT_EQ(call(effProcessEvents, 0, 0, nullptr), 1);
    EXPECT_EQ(call(effCanBeAutomated, 17), 1);
    EXPECT_EQ(call(effGetNumProgramCategories), 1);
    EXPECT_EQ(call(effCopyProgram, 5), 1);
    EXPECT_EQ(call(effCopyProgram, 32), 0);
    EXPECT_EQ(call(effCopyProgram, -1), 0);
    EXPECT_EQ(call(effConnectInput, 0, 1), 1);
    EXPECT_EQ(call(effConnectOutput, 1, 1), 1);
    EXPECT_EQ(call(effSetBlockSizeAndSampleRate, 0, 128, nullptr, 96000.0f), 1);
    EXPECT_EQ(call(effGetEffectName, 0, 0, text), 1);
    EXPECT_EQ(call(effGetVendorString, 0, 0, text), 1);
    EXPECT_EQ(call(effGetProductString, 0, 0, text), 0);
    EXPECT_STREQ(text, "Vornhalt");
    EXPECT_EQ(call(effGetVendorVersion), 1);
    EXPECT_EQ(call(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent")), 1);
    EXPECT_EQ(call(effKeysRequired), 1);
    EXPECT_EQ(call(effGetVstVersion), 2300);
    EXPECT_EQ(call(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(call(effSetTotalSampleToProcess, 0, 12345), 12345);

    int inputDummy = 0, outputDummy = 0;
    void* inputs = &inputDummy;
    void* outputs = &outputDummy;
    EXPECT_EQ(call(effGetSpeakerArrangement, 0, reinterpret_cast<intptr>(&inputs), &outputs), 0);
    EXPECT_EQ(inputs, nullptr);
    EXPECT_EQ(outputs, nullptr);
}

TEST_F(Dispatcher, EditorOpcodesBeforeTheEditorIsOpen) {
    // The rectangle is there before the first open: top, left, bottom, right.
    ERect* rect = nullptr;
    EXPECT_EQ(call(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 479);
    EXPECT_EQ(rect->right, 659);
    EXPECT_EQ(call(effEditGetRect, 0, 0, nullptr), 0);
    // Without a parent window there is nothing to open in.
    EXPECT_EQ(call(effEditOpen, 0, 0, nullptr), 0);
    EXPECT_EQ(call(effEditClose), 0);
    EXPECT_EQ(call(effEditIdle), 0);
    // Keys find no window to go to; the knob mode is taken.
    EXPECT_EQ(call(effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(call(effEditKeyUp, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(call(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(call(effSetEditKnobMode, 0, 0), 1);
}

TEST_F(Dispatcher, EveryOtherOpcodeDoesNothingAndAnswersZero) {
    const int32 quiet[] = {16, 17, 18, 20, 21, 33, 34, 36, 37, 38, 39, 40, 41, 42, 46, 50,  53,   54,
                           55, 56, 62, 64, 65, 66, 67, 68, 70, 71, 72, 74, 75, 76, 77, 100, 9999, -1};
    // Pointers get a zeroed buffer large enough for any structure the opcode might name.
    std::vector<char> buffer(4096, 0);
    const auto bankBefore = host.getChunk(false);
    for (int32 opcode : quiet) {
        EXPECT_EQ(call(opcode, 0, 0, buffer.data(), 0.0f), 0) << opcode;
    }
    EXPECT_EQ(host.getChunk(false), bankBefore);
    for (char c : buffer) {
        ASSERT_EQ(c, 0);
    }
}
