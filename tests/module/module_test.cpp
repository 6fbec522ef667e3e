// The record, the identity answers and the entry points of the built module.

#include <dlfcn.h>

#include <cmath>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "host/plugin_host.h"

namespace {

vst2::intptr versionOnlyHost(vst2::AEffect*, vst2::int32 opcode, vst2::int32, vst2::intptr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

vst2::intptr tooOldHost(vst2::AEffect*, vst2::int32, vst2::int32, vst2::intptr, void*, float) {
    return 0;
}

struct Module {
    Module() { handle = dlopen(VORNHALT_MODULE_PATH, RTLD_NOW | RTLD_LOCAL); }
    ~Module() {
        if (handle != nullptr) {
            dlclose(handle);
        }
    }
    void* handle;
};

} // namespace

TEST(Module, ExportsExactlyTheTwoEntryPoints) {
    Module module;
    ASSERT_NE(module.handle, nullptr) << dlerror();
    void* pluginMain = dlsym(module.handle, "VSTPluginMain");
    void* legacyMain = dlsym(module.handle, "main");
    ASSERT_NE(pluginMain, nullptr);
    ASSERT_NE(legacyMain, nullptr);
    // Nothing of the implementation is visible to the host.
    EXPECT_EQ(dlsym(module.handle, "_ZN12PluginEffect12setParameterEif"), nullptr);
    EXPECT_EQ(dlsym(module.handle, "outOfMemoryFlag"), nullptr);
}

TEST(Module, EntryRefusesAHostTooOldToAnswerItsVersion) {
    Module module;
    auto entry = reinterpret_cast<vst2::EntryProc>(dlsym(module.handle, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry(&tooOldHost), nullptr);
    EXPECT_EQ(entry(nullptr), nullptr);
}

TEST(Module, RecordAfterMainAndCloseAnswersOne) {
    Module module;
    auto entry = reinterpret_cast<vst2::EntryProc>(dlsym(module.handle, "main"));
    vst2::AEffect* effect = entry(&versionOnlyHost);
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, vst2::kEffectMagic);
    EXPECT_EQ(effect->numPrograms, 32);
    EXPECT_EQ(effect->numParams, 56);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    // Has-editor, can-replacing and programs-are-chunks.
    EXPECT_EQ(effect->flags, 0x31);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(effect->uniqueID, vst2::fourCharacters('V', 'R', 'H', 'T'));
    EXPECT_EQ(effect->version, 1);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_EQ(effect->processDoubleReplacing, nullptr);
    EXPECT_EQ(effect->user, nullptr);
    for (char c : effect->future) {
        ASSERT_EQ(c, 0);
    }
    EXPECT_EQ(effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f), 1);
}

class LoadedModule : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
        host.open(44100.0, 512);
    }
    vhost::PluginHost host;
};

TEST_F(LoadedModule, IdentityAnswers) {
    auto name = host.effectName();
    EXPECT_EQ(name.text, "Vornhalt");
    EXPECT_EQ(name.result, 1);
    auto vendor = host.vendorString();
    EXPECT_EQ(vendor.text.size(), 16u);
    EXPECT_EQ(vendor.result, 1);
    auto product = host.productString();
    EXPECT_EQ(product.text, "Vornhalt");
    EXPECT_EQ(product.result, 0); // written, reported as not supported
    EXPECT_EQ(host.vendorVersion(), 1);
    EXPECT_EQ(host.dispatch(vst2::effGetVstVersion), 2300);
    EXPECT_EQ(host.dispatch(vst2::effGetPlugCategory), vst2::kPlugCategoryEffect);
    EXPECT_EQ(host.dispatch(vst2::effGetTailSize), 1); // Feedback 0: no tail
}

TEST_F(LoadedModule, CanDoComparesWholeTexts) {
    EXPECT_EQ(host.canDo("receiveVstEvents"), 1);
    EXPECT_EQ(host.canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(host.canDo("bypass"), 1);
    for (const char* no : {"bypasss", "plugAsChannelInsert", "", "sendVstEvents", "receiveVstEventsX",
                           "receiveVstEvent", "receiveVstMidiEvents"}) {
        EXPECT_EQ(host.canDo(no), -1) << no;
    }
    EXPECT_EQ(host.dispatch(vst2::effCanDo, 0, 0, nullptr), -1);
}

TEST_F(LoadedModule, ParametersThroughTheRecord) {
    EXPECT_EQ(host.parameterName(1), "Block Size");
    EXPECT_EQ(host.parameterName(0), "");
    EXPECT_EQ(host.parameterName(56), "");
    EXPECT_EQ(host.parameterLabel(19), "Hz");
    EXPECT_EQ(host.parameterDisplay(19), "22.00"); // 0.1^3 of 22 kHz
    EXPECT_EQ(host.getParameter(19), 0.1f);
    host.setParameter(19, 0.75f);
    EXPECT_EQ(host.getParameter(19), 0.75f);
    host.setParameter(19, std::nanf(""));
    EXPECT_EQ(host.getParameter(19), 0.75f);
    host.setParameter(-3, 0.5f);
    EXPECT_EQ(host.getParameter(-3), 0.0f);
}

TEST_F(LoadedModule, ChunksRoundTripThroughTheDispatcher) {
    auto bank = host.getChunk(false);
    auto preset = host.getChunk(true);
    ASSERT_EQ(bank.size(), 14592u);
    ASSERT_EQ(preset.size(), 456u);
    host.setParameter(17, 0.6f);
    host.setProgramName("Echoes");
    auto edited = host.getChunk(true);
    EXPECT_EQ(host.setChunk(preset, true), 1);
    EXPECT_EQ(host.getParameter(17), 0.0f);
    EXPECT_EQ(host.programName(), "Default");
    EXPECT_EQ(host.setChunk(edited, true), 1);
    EXPECT_EQ(host.getParameter(17), 0.6f);
    EXPECT_EQ(host.programName(), "Echoes");
    std::vector<std::uint8_t> shortBank(bank.begin(), bank.end() - 1);
    EXPECT_EQ(host.setChunk(shortBank, false), 0);
    EXPECT_EQ(host.getParameter(17), 0.6f);
}

TEST_F(LoadedModule, ProcessesAudioFromTheHost) {
    const int n = 4096;
    std::vector<float> inL(n), inR(n), outL(n), outR(n);
    for (int i = 0; i < n; ++i) {
        inL[i] = 0.5f * std::sin(0.03f * static_cast<float>(i));
        inR[i] = 0.5f * std::sin(0.05f * static_cast<float>(i));
    }
    host.setParameter(17, 0.8f);
    double level = 0.0;
    for (int start = 0; start < n; start += 512) {
        host.processReplacing(inL.data() + start, inR.data() + start, outL.data() + start,
                              outR.data() + start, 512);
    }
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(std::isfinite(outL[i]) && std::isfinite(outR[i]));
        level += outL[i] * outL[i] + outR[i] * outR[i];
    }
    EXPECT_GT(level, 1.0);
    EXPECT_GE(host.timeRequests(), 8);
    EXPECT_EQ(host.lastTimeMask(), 0x2E01);
}

TEST(ModuleInstances, TwoInstancesDoNotShareState) {
    vhost::PluginHost a, b;
    ASSERT_TRUE(a.load(VORNHALT_MODULE_PATH)) << a.error();
    ASSERT_TRUE(b.load(VORNHALT_MODULE_PATH)) << b.error();
    a.open();
    b.open();
    a.setParameter(54, 0.0f);
    EXPECT_EQ(b.getParameter(54), 0.5f);
    a.setProgram(4);
    EXPECT_EQ(b.program(), 0);
}
