// What the fuzzers found, as plain tests. Each input that failed is also kept
// in regressions/<target> and replayed (under the sanitizers in the ASan build);
// these state the corrected behaviour where it can be observed directly.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "render/preset_file.h"
#include "support/fake_host.h"

namespace {

std::vector<std::uint8_t> bigEndian(std::initializer_list<std::uint32_t> words) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t w : words) {
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<std::uint8_t>(w >> shift));
        }
    }
    return bytes;
}

// A size field smaller than the fixed header it belongs to put the end of the
// record before the reading position; the remaining length wrapped around and
// the reader ran past the end of the file.
TEST(FuzzFindings, PresetFileWhoseSizeFieldEndsInsideItsHeaderIsRefused) {
    // 'CcnK', size 4, 'FxCk', version 1, id, plug-in version, 1 parameter: the header alone is 28 bytes.
    std::vector<std::uint8_t> program = bigEndian({0x43636e4b, 4, 0x4678436b, 1, 0x56524854, 1, 1});
    vrender::ProgramFile decoded;
    std::string error;
    EXPECT_FALSE(vrender::decodeProgram(program, decoded, error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    // The same inside a bank of plain values: the bank is whole, its one program's size field is 0.
    std::vector<std::uint8_t> bank = bigEndian({0x43636e4b, 0, 0x4678426b, 1, 0x56524854, 1, 1});
    bank.resize(bank.size() + 128, 0);
    const std::vector<std::uint8_t> inner = bigEndian({0x43636e4b, 0, 0x4678436b, 1, 0x56524854, 1, 0});
    bank.insert(bank.end(), inner.begin(), inner.end());
    const auto size = static_cast<std::uint32_t>(bank.size() - 8);
    for (int i = 0; i < 4; ++i) {
        bank[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    }
    vrender::BankFile decodedBank;
    error.clear();
    EXPECT_FALSE(vrender::decodeBank(bank, decodedBank, error));
    EXPECT_NE(error.find("bank program 0"), std::string::npos) << error;
}

// A subnormal sample rate passed the "positive number" test, but processing
// flushes subnormal operands to zero: the block length came out as 0 x inf.
TEST(FuzzFindings, SubnormalSampleRateIsRefused) {
    auto effect = makeEffect();
    const float rate = effect->getSampleRate();
    effect->setSampleRate(3.677e-40f);
    EXPECT_EQ(effect->getSampleRate(), rate);
    EXPECT_EQ(effect->engine.workingSampleRate, rate);
    effect->setSampleRate(1e-30f); // tiny but normal: taken
    EXPECT_EQ(effect->engine.workingSampleRate, 1e-30f);
    effect->setParameter(1, 1.0f); // "Block Size": (fs - 17 + 16) / fs overflows to -inf
    StereoBlock block(16);
    effect->processReplacing(block.inputs(), block.outputs(), block.frames());
    for (int i = 0; i < block.frames(); ++i) {
        ASSERT_TRUE(std::isfinite(block.outL[i]) && std::isfinite(block.outR[i]));
    }
}

// An event list longer than the two pointer slots the record declares was read
// through the declared array (undefined beyond its second entry).
TEST(FuzzFindings, EveryEventOfALongListIsApplied) {
    auto effect = makeEffect();
    effect->controllerMap[7] = 19; // "Cutoff"
    vst2::VstMidiEvent midi[3] = {};
    const int amounts[3] = {10, 20, 127};
    std::vector<std::uintptr_t> storage(2 + 3, 0);
    auto* events = new (storage.data()) vst2::VstEvents{};
    events->numEvents = 3;
    auto** slots = reinterpret_cast<vst2::VstEvent**>(reinterpret_cast<unsigned char*>(storage.data()) +
                                                      offsetof(vst2::VstEvents, events));
    for (int i = 0; i < 3; ++i) {
        midi[i].type = vst2::kVstMidiType;
        midi[i].byteSize = sizeof(vst2::VstMidiEvent);
        midi[i].midiData[0] = static_cast<char>(0xB0);
        midi[i].midiData[1] = 7;
        midi[i].midiData[2] = static_cast<char>(amounts[i]);
        slots[i] = reinterpret_cast<vst2::VstEvent*>(&midi[i]);
    }
    EXPECT_EQ(effect->dispatcher(vst2::effProcessEvents, 0, 0, events, 0.0f), 1);
    EXPECT_EQ(effect->getParameter(19), 1.0f);
    EXPECT_EQ(FakeHost::count(vst2::audioMasterUpdateDisplay), 3);
}

} // namespace
