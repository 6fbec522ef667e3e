// The host library against the stand-in plug-ins built beside this test: the refusals of load, the
// set-up and tear-down order, the callback (time, automation log, editor requests) and the typed
// helpers' plumbing.

#include "fake_effect.h"
#include "host/plugin_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using vhost::HostEvent;
using vhost::HostEventKind;
using vhost::PluginHost;

FakeOpcodeLog opcodeLog(PluginHost& host, FakeQuery which = kFakeQueryLog) {
    FakeOpcodeLog log{};
    host.dispatch(vst2::effVendorSpecific, which, 0, &log);
    return log;
}

// The fake's dispatcher calls, cut short before the query that fetched them.
std::vector<std::pair<int, int>> calls(const FakeOpcodeLog& log) {
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < log.count; ++i) {
        if (log.opcodes[i] != vst2::effVendorSpecific) {
            out.emplace_back(log.opcodes[i], log.values[i]);
        }
    }
    return out;
}

bool seenTime(PluginHost& host, vst2::VstTimeInfo& time) {
    return host.dispatch(vst2::effVendorSpecific, kFakeQueryTime, 0, &time) == 1;
}

void loadFake(PluginHost& host, const char* path = FAKE_EFFECT_PATH) {
    ASSERT_TRUE(host.load(path)) << host.error();
}

// ---------------------------------------------------------------------------------------------
// Loading and refusing

TEST(HostLoad, MissingFileGivesTheDynamicLoadersReason) {
    PluginHost host;
    EXPECT_FALSE(host.load("no-such-dir/no-such-plugin.so"));
    EXPECT_FALSE(host.loaded());
    EXPECT_NE(host.error().find("no-such-plugin.so"), std::string::npos) << host.error();
    EXPECT_NE(host.error().find("No such file or directory"), std::string::npos) << host.error();
}

TEST(HostLoad, FileThatIsNoSharedObjectGivesTheReason) {
    char name[] = "/tmp/vhost-not-elf-XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    const char junk[] = "this is not a shared object, only text that fills more than a header";
    ASSERT_EQ(write(fd, junk, sizeof junk), static_cast<ssize_t>(sizeof junk));
    close(fd);
    PluginHost host;
    EXPECT_FALSE(host.load(name));
    unlink(name);
    EXPECT_NE(host.error().find("ELF"), std::string::npos) << host.error();
}

TEST(HostLoad, LibraryWithoutEntryIsRefused) {
    PluginHost host;
    EXPECT_FALSE(host.load(FAKE_NO_ENTRY_PATH));
    EXPECT_NE(host.error().find("no VST entry"), std::string::npos) << host.error();
    EXPECT_NE(host.error().find("VSTPluginMain"), std::string::npos) << host.error();
}

TEST(HostLoad, BadMagicIsRefused) {
    PluginHost host;
    EXPECT_FALSE(host.load(FAKE_BAD_MAGIC_PATH));
    EXPECT_FALSE(host.loaded());
    EXPECT_NE(host.error().find("magic 0x12345678"), std::string::npos) << host.error();
}

TEST(HostLoad, PluginThatCannotReplaceIsRefused) {
    PluginHost host;
    EXPECT_FALSE(host.load(FAKE_NO_REPLACING_PATH));
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(host.effect(), nullptr);
    EXPECT_NE(host.error().find("0x10"), std::string::npos) << host.error();
}

TEST(HostLoad, OldMainEntryIsFoundWhenVstPluginMainIsMissing) {
    PluginHost host;
    loadFake(host, FAKE_MAIN_ONLY_PATH);
    EXPECT_EQ(host.effect()->magic, vst2::kEffectMagic);
    EXPECT_EQ(host.effectName().text, "Fake Effect");
}

TEST(HostLoad, AFailedHostLoadsAgainAndAFailedReloadLeavesItEmpty) {
    PluginHost host;
    EXPECT_FALSE(host.load(FAKE_BAD_MAGIC_PATH));
    loadFake(host);
    EXPECT_TRUE(host.error().empty());
    EXPECT_FALSE(host.load(FAKE_NO_ENTRY_PATH));
    EXPECT_FALSE(host.loaded());
    EXPECT_EQ(host.dispatch(vst2::effGetVendorVersion), 0);
}

// The fake's entry returns no effect unless the host answered the version with 2400, and asks the
// sample rate with a record whose user field is still empty.
TEST(HostLoad, EntryCallbackReachesTheHostBeingLoaded) {
    PluginHost host;
    host.setSampleRate(96000.0);
    loadFake(host);
    EXPECT_EQ(host.dispatch(vst2::effVendorSpecific, kFakeQueryRateSeenDuringEntry), 96000);
    EXPECT_EQ(host.effect()->user, &host);
}

TEST(HostCallback, WithoutAnyHostOnlyTheVersionIsAnswered) {
    EXPECT_EQ(PluginHost::callback(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
    EXPECT_EQ(PluginHost::callback(nullptr, vst2::audioMasterGetSampleRate, 0, 0, nullptr, 0.0f), 0);
    vst2::AEffect stray{};
    EXPECT_EQ(PluginHost::callback(&stray, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f), 2400);
}

// ---------------------------------------------------------------------------------------------
// Set-up and tear-down order

TEST(HostLifecycle, OpenFollowsTheOrderOfLinuxHosts) {
    PluginHost host;
    loadFake(host);
    host.open(48000.0, 256);
    const std::vector<std::pair<int, int>> expected = {
        {vst2::effOpen, 0},         {vst2::effSetSampleRate, 48000}, {vst2::effSetBlockSize, 256},
        {vst2::effCanDo, 0},        {vst2::effSetBypass, 0},         {vst2::effMainsChanged, 0},
        {vst2::effMainsChanged, 1},
    };
    EXPECT_EQ(calls(opcodeLog(host)), expected);
    EXPECT_TRUE(host.resumed());
}

TEST(HostLifecycle, DestructionClosesEditorSuspendsAndCloses) {
    PluginHost witness;
    loadFake(witness);
    {
        PluginHost host;
        loadFake(host);
        host.open();
        host.openEditor(0x1234);
    }
    std::vector<std::pair<int, int>> tail = calls(opcodeLog(witness, kFakeQueryLastClosed));
    ASSERT_GE(tail.size(), 3u);
    tail.erase(tail.begin(), tail.end() - 3);
    const std::vector<std::pair<int, int>> expected = {
        {vst2::effEditClose, 0}, {vst2::effMainsChanged, 0}, {vst2::effClose, 0}};
    EXPECT_EQ(tail, expected);
}

TEST(HostLifecycle, SuspendedEffectIsClosedWithoutAnotherSuspend) {
    PluginHost witness;
    loadFake(witness);
    {
        PluginHost host;
        loadFake(host);
        host.open();
        host.suspend();
        host.dispatch(vst2::effGetVendorVersion);
    }
    const auto tail = calls(opcodeLog(witness, kFakeQueryLastClosed));
    ASSERT_GE(tail.size(), 2u);
    EXPECT_EQ(tail[tail.size() - 2].first, vst2::effGetVendorVersion);
    EXPECT_EQ(tail.back().first, vst2::effClose);
}

// ---------------------------------------------------------------------------------------------
// Time

TEST(HostTime, PositionAdvancesWithEveryBlockAndSongPositionFollowsTempo) {
    PluginHost host;
    loadFake(host);
    host.open(48000.0, 24000);
    host.transport().tempo = 150.0;
    host.transport().startBeat = 3.0;
    std::vector<float> in(24000, 0.25f), outL(24000), outR(24000);
    host.processReplacing(in.data(), in.data(), outL.data(), outR.data(), 24000);
    host.process(in.data(), in.data(), outL.data(), outR.data(), 24000);
    host.processReplacing(in.data(), in.data(), outL.data(), outR.data(), 24000);

    vst2::VstTimeInfo t{};
    ASSERT_TRUE(seenTime(host, t));
    // The third block starts one second in: 2.5 beats per second at 150 beats per minute.
    EXPECT_DOUBLE_EQ(t.samplePos, 48000.0);
    EXPECT_DOUBLE_EQ(t.sampleRate, 48000.0);
    EXPECT_DOUBLE_EQ(t.tempo, 150.0);
    EXPECT_DOUBLE_EQ(t.ppqPos, 5.5);
    EXPECT_DOUBLE_EQ(t.barStartPos, 4.0);
    EXPECT_EQ(t.timeSigNumerator, 4);
    EXPECT_EQ(t.timeSigDenominator, 4);
    EXPECT_EQ(t.flags, vst2::kVstTransportChanged | vst2::kVstTransportPlaying | vst2::kVstPpqPosValid |
                           vst2::kVstTempoValid | vst2::kVstBarsValid | vst2::kVstTimeSigValid);
    EXPECT_EQ(host.timeRequests(), 3);
    EXPECT_EQ(host.lastTimeMask(), 0x2E01);
    EXPECT_DOUBLE_EQ(host.samplePosition(), 72000.0);
}

TEST(HostTime, BarStartFollowsTheTimeSignature) {
    PluginHost host;
    loadFake(host);
    host.open(1000.0, 1000);
    host.transport().timeSigNumerator = 3;
    host.transport().timeSigDenominator = 8; // bars of 1.5 quarter notes
    host.transport().startBeat = 4.0;        // 120 bpm: 2 beats per 1000-sample block
    std::vector<float> in(1000, 0.0f), out(1000);
    for (int b = 0; b < 2; ++b) {
        host.processReplacing(in.data(), in.data(), out.data(), out.data(), 1000);
    }
    vst2::VstTimeInfo t{};
    ASSERT_TRUE(seenTime(host, t));
    EXPECT_DOUBLE_EQ(t.ppqPos, 6.0);
    EXPECT_DOUBLE_EQ(t.barStartPos, 6.0);
    EXPECT_EQ(t.timeSigNumerator, 3);
    EXPECT_EQ(t.timeSigDenominator, 8);
}

TEST(HostTime, FlagsCanBeWithheldAndTheRecordRefused) {
    PluginHost host;
    loadFake(host);
    host.open();
    std::vector<float> in(64, 0.0f), out(64);
    host.transport().flags &= ~vst2::kVstTempoValid;
    host.processReplacing(in.data(), in.data(), out.data(), out.data(), 64);
    vst2::VstTimeInfo t{};
    ASSERT_TRUE(seenTime(host, t));
    EXPECT_EQ(t.flags & vst2::kVstTempoValid, 0);
    EXPECT_NE(t.flags & vst2::kVstPpqPosValid, 0);

    host.transport().available = false;
    host.processReplacing(in.data(), in.data(), out.data(), out.data(), 64);
    EXPECT_FALSE(seenTime(host, t));
    EXPECT_EQ(host.timeRequests(), 2);
    EXPECT_DOUBLE_EQ(host.samplePosition(), 128.0);
}

// Each instance's callback reaches its own host, whether the instances share a shared object or not.
TEST(HostTime, InstancesKeepTheirOwnPositions) {
    PluginHost a, b, c;
    loadFake(a);
    loadFake(b);
    loadFake(c, FAKE_MAIN_ONLY_PATH);
    for (PluginHost* h : {&a, &b, &c}) {
        h->open(44100.0, 100);
    }
    std::vector<float> in(100, 0.0f), out(100);
    const int blocks[] = {3, 1, 2};
    PluginHost* hosts[] = {&a, &b, &c};
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 3; ++i) {
            if (round < blocks[i]) {
                hosts[i]->processReplacing(in.data(), in.data(), out.data(), out.data(), 100);
            }
        }
    }
    for (int i = 0; i < 3; ++i) {
        vst2::VstTimeInfo t{};
        ASSERT_TRUE(seenTime(*hosts[i], t));
        EXPECT_DOUBLE_EQ(t.samplePos, 100.0 * (blocks[i] - 1)) << "instance " << i;
        EXPECT_EQ(hosts[i]->timeRequests(), blocks[i]);
    }
}

// ---------------------------------------------------------------------------------------------
// Audio plumbing

TEST(HostAudio, ReplacingOverwritesAndAccumulatingAdds) {
    PluginHost host;
    loadFake(host);
    host.open(44100.0, 8);
    host.setParameter(0, 0.5f);
    const float inL[4] = {1.0f, -2.0f, 4.0f, 0.0f};
    const float inR[4] = {8.0f, 0.5f, -1.0f, 2.0f};
    float outL[4] = {100.0f, 100.0f, 100.0f, 100.0f};
    float outR[4] = {100.0f, 100.0f, 100.0f, 100.0f};
    host.processReplacing(inL, inR, outL, outR, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(outL[i], 0.5f * inL[i]);
        EXPECT_FLOAT_EQ(outR[i], 0.5f * inR[i]);
    }
    ASSERT_TRUE(host.process(inL, inR, outL, outR, 4));
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(outL[i], inL[i]);
        EXPECT_FLOAT_EQ(outR[i], inR[i]);
    }
}

TEST(HostAudio, ControlChangesArriveAsOneEventsRecord) {
    PluginHost host;
    loadFake(host);
    host.open();
    std::vector<vhost::MidiMessage> messages;
    for (int i = 0; i < 5; ++i) {
        messages.push_back(vhost::controlChange(i, 20 + i, 100 + i, 3 * i));
    }
    EXPECT_EQ(host.processEvents(messages), 1);
    FakeMidiLog midi{};
    host.dispatch(vst2::effVendorSpecific, kFakeQueryMidi, 0, &midi);
    ASSERT_EQ(midi.count, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(midi.types[i], vst2::kVstMidiType);
        EXPECT_EQ(midi.sizes[i], 32);
        EXPECT_EQ(midi.deltas[i], 3 * i);
        EXPECT_EQ(static_cast<unsigned char>(midi.bytes[i][0]), 0xB0 + i);
        EXPECT_EQ(midi.bytes[i][1], 20 + i);
        EXPECT_EQ(midi.bytes[i][2], 100 + i);
    }
    const auto events = host.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, HostEventKind::UpdateDisplay);

    EXPECT_EQ(host.processEvents({}), 1);
    host.dispatch(vst2::effVendorSpecific, kFakeQueryMidi, 0, &midi);
    EXPECT_EQ(midi.count, 0);
}

// ---------------------------------------------------------------------------------------------
// Callback log and editor

TEST(HostEvents, EditorGestureIsLoggedInOrderAndAnsweredWithZero) {
    PluginHost host;
    loadFake(host);
    host.open();
    EXPECT_EQ(host.dispatch(vst2::effVendorSpecific, kFakeQueryGesture, 1, nullptr, 0.8f), 0);
    const auto events = host.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, HostEventKind::BeginEdit);
    EXPECT_EQ(events[0].index, 1);
    EXPECT_EQ(events[1].kind, HostEventKind::Automate);
    EXPECT_EQ(events[1].index, 1);
    EXPECT_FLOAT_EQ(static_cast<float>(events[1].value), 0.8f);
    EXPECT_EQ(events[2].kind, HostEventKind::Automate);
    EXPECT_FLOAT_EQ(static_cast<float>(events[2].value), 0.4f);
    EXPECT_EQ(events[3].kind, HostEventKind::EndEdit);
    EXPECT_EQ(events[3].index, 1);
    EXPECT_FLOAT_EQ(host.getParameter(1), 0.8f);
    host.clearEvents();
    EXPECT_TRUE(host.events().empty());
}

TEST(HostEvents, HostCanDoAnswersOneForItsTextsAndZeroOtherwise) {
    PluginHost host;
    loadFake(host);
    auto ask = [&](const char* text) {
        return host.dispatch(vst2::effVendorSpecific, kFakeQueryHostCanDo, 0, const_cast<char*>(text));
    };
    EXPECT_EQ(ask("sizeWindow"), 1);
    EXPECT_EQ(ask("sendVstTimeInfo"), 1);
    EXPECT_EQ(ask("openFileSelector"), 0);
    EXPECT_EQ(ask(""), 0);
}

TEST(HostEditor, OpenIdleAndRect) {
    PluginHost host;
    loadFake(host);
    host.open();
    EXPECT_EQ(host.openEditor(0x2a00001), 1);
    EXPECT_TRUE(host.editorOpen());
    const auto events = host.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, HostEventKind::SizeWindow);
    EXPECT_EQ(events[0].index, 320);
    EXPECT_EQ(events[0].value, 200.0);

    vst2::ERect rect{};
    ASSERT_TRUE(host.editorRect(rect));
    EXPECT_EQ(rect.right - rect.left, 320);
    EXPECT_EQ(rect.bottom - rect.top, 200);

    // The editor's request for an idle comes back at once as a nested idle.
    host.idleEditor();
    EXPECT_EQ(host.dispatch(vst2::effVendorSpecific, kFakeQueryIdles), 2);
    host.closeEditor();
    EXPECT_FALSE(host.editorOpen());
}

TEST(HostEditor, IdleThatKeepsAskingForIdleIsCutShortAndLogged) {
    PluginHost host;
    loadFake(host);
    host.dispatch(vst2::effVendorSpecific, kFakeQueryDropIdleGuard);
    host.idleEditor();
    EXPECT_EQ(host.dispatch(vst2::effVendorSpecific, kFakeQueryIdles), 5);
    const auto events = host.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].kind, HostEventKind::IdleRecursion);
}

// ---------------------------------------------------------------------------------------------
// Typed helpers

TEST(HostHelpers, TextsCarryTheirResultCodes) {
    PluginHost host;
    loadFake(host);
    const vhost::TextResult name = host.effectName();
    EXPECT_EQ(name.text, "Fake Effect");
    EXPECT_EQ(name.result, 1);
    EXPECT_EQ(host.vendorString().text, "Vornhalt Tests");
    const vhost::TextResult product = host.productString();
    EXPECT_EQ(product.text, "Fake");
    EXPECT_EQ(product.result, 0);
    EXPECT_EQ(host.vendorVersion(), 7);
    EXPECT_EQ(host.canDo("bypass"), 1);
    EXPECT_EQ(host.canDo("receiveVstEvents"), -1);
    host.setParameter(0, 0.25f);
    EXPECT_EQ(host.parameterName(0), "Gain");
    EXPECT_EQ(host.parameterLabel(1), "%");
    EXPECT_EQ(host.parameterDisplay(0), "0.25");
}

TEST(HostHelpers, ProgramsAndChunks) {
    PluginHost host;
    loadFake(host);
    EXPECT_EQ(host.programName(), "Init");
    host.setProgramName("Warm");
    EXPECT_EQ(host.programName(), "Warm");
    host.setProgram(0);
    EXPECT_EQ(host.program(), 0);

    const std::vector<std::uint8_t> bank = host.getChunk(false);
    EXPECT_EQ(bank, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(host.getChunk(true).size(), 4u);
    const std::vector<std::uint8_t> other = {9, 8, 7, 6, 5, 4, 3, 2};
    EXPECT_EQ(host.setChunk(other, false), 1);
    EXPECT_EQ(host.getChunk(false), other);
    EXPECT_EQ(host.setChunk({1, 2, 3}, true), 0);
    EXPECT_EQ(host.getChunk(false), other);
}

TEST(HostHelpers, UnloadedHostDoesNothing) {
    PluginHost host;
    EXPECT_EQ(host.dispatch(vst2::effGetVendorVersion), 0);
    EXPECT_EQ(host.getParameter(0), 0.0f);
    EXPECT_TRUE(host.effectName().text.empty());
    float buffer[4] = {};
    EXPECT_FALSE(host.process(buffer, buffer, buffer, buffer, 4));
    host.processReplacing(buffer, buffer, buffer, buffer, 4);
    EXPECT_DOUBLE_EQ(host.samplePosition(), 0.0);
}

} // namespace
