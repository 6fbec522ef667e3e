// The factory bank as a user meets it: each program plays the demo's signal
// at about the level it came in, never far above full scale, and falls
// silent after the input stops unless its name says it drones. Measured on
// the output, so a change anywhere in the chain that makes a program blow up
// or die away shows here with the program's name.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "demo/demo_signal.h"
#include "host/factory_programs.h"
#include "support/fake_host.h"

namespace {

constexpr int kRate = 44100;
constexpr double kTempo = 120.0;
constexpr int kHostBlock = 512;
constexpr double kInputSeconds = 4.0;
constexpr double kTailSeconds = 10.0;
// Where the tail is judged: its last half second.
constexpr double kTailWindowSeconds = 0.5;

constexpr double kMaxLevelChangeDb = 6.0;
constexpr double kMaxPeakDbfs = 6.0;
constexpr double kSilentTailDbfs = -60.0;
// A drone that has died away to this by the end of the tail does not drone.
constexpr double kDroneFloorDbfs = -40.0;

double toDb(double amplitude) {
    return 20.0 * std::log10(std::max(amplitude, 1e-30));
}

std::string nameOf(const ProgramRecord& record) {
    return std::string(record.name, strnlen(record.name, ProgramRecord::kMaxNameCharacters));
}

bool namedAsDrone(const std::string& name) {
    return name.find("Drone") != std::string::npos;
}

struct Levels {
    double inputRmsDb = 0.0;
    double outputRmsDb = 0.0; // over the input's span
    double peakDbfs = 0.0;    // over everything, the tail included
    double tailPeakDbfs = 0.0;
    bool finite = true;
};

// Renders the demo's signal and then silence through program `program` of a
// fresh effect, as a host would: in blocks, with the song position advancing.
Levels play(int program) {
    auto effect = makeEffect();
    effect->setSampleRate(static_cast<float>(kRate));
    effect->setBlockSize(kHostBlock);
    effect->resume();
    effect->setProgram(program);
    FakeHost::time.tempo = kTempo;

    const std::vector<float> input = vdemo::makeDemoInput({kRate, kInputSeconds, kTempo});
    const int inputFrames = static_cast<int>(input.size() / 2);
    const int totalFrames = inputFrames + static_cast<int>(kTailSeconds * kRate);
    const int tailWindowStart = totalFrames - static_cast<int>(kTailWindowSeconds * kRate);
    const double samplesPerBeat = kRate * 60.0 / kTempo;

    Levels levels;
    double inputEnergy = 0.0;
    double outputEnergy = 0.0;
    double peak = 0.0;
    double tailPeak = 0.0;
    StereoBlock block(kHostBlock);
    for (int start = 0; start < totalFrames; start += kHostBlock) {
        const int frames = std::min(kHostBlock, totalFrames - start);
        for (int i = 0; i < frames; ++i) {
            const int frame = start + i;
            const bool playing = frame < inputFrames;
            block.inL[i] = playing ? input[2 * static_cast<std::size_t>(frame)] : 0.0f;
            block.inR[i] = playing ? input[2 * static_cast<std::size_t>(frame) + 1] : 0.0f;
        }
        FakeHost::time.ppqPos = start / samplesPerBeat;
        effect->processReplacing(block.inputs(), block.outputs(), frames);
        for (int i = 0; i < frames; ++i) {
            const int frame = start + i;
            const double l = block.outL[i];
            const double r = block.outR[i];
            if (!std::isfinite(l) || !std::isfinite(r)) {
                levels.finite = false;
                return levels;
            }
            const double loudest = std::max(std::fabs(l), std::fabs(r));
            peak = std::max(peak, loudest);
            if (frame < inputFrames) {
                const double a = block.inL[i];
                const double b = block.inR[i];
                inputEnergy += a * a + b * b;
                outputEnergy += l * l + r * r;
            }
            if (frame >= tailWindowStart) {
                tailPeak = std::max(tailPeak, loudest);
            }
        }
    }
    levels.inputRmsDb = toDb(std::sqrt(inputEnergy / (2.0 * inputFrames)));
    levels.outputRmsDb = toDb(std::sqrt(outputEnergy / (2.0 * inputFrames)));
    levels.peakDbfs = toDb(peak);
    levels.tailPeakDbfs = toDb(tailPeak);
    return levels;
}

class FactoryProgramLevels : public ::testing::TestWithParam<int> {};

TEST_P(FactoryProgramLevels, PlaysAtTheInputLevelAndEndsAsItsNameSays) {
    const int program = GetParam();
    ProgramRecord record;
    makeFactoryProgram(program, record);
    const std::string name = nameOf(record);
    const std::string who = "program " + std::to_string(program) + " \"" + name + "\"";

    const Levels levels = play(program);
    ASSERT_TRUE(levels.finite) << who << ": the output is not finite";
    EXPECT_LE(std::fabs(levels.outputRmsDb - levels.inputRmsDb), kMaxLevelChangeDb)
        << who << ": RMS " << levels.outputRmsDb << " dBFS for an input at " << levels.inputRmsDb << " dBFS";
    EXPECT_LE(levels.peakDbfs, kMaxPeakDbfs) << who << ": peak " << levels.peakDbfs << " dBFS";
    if (namedAsDrone(name)) {
        EXPECT_GT(levels.tailPeakDbfs, kDroneFloorDbfs)
            << who << ": named a drone, but " << kTailSeconds << " s after the input it is down to "
            << levels.tailPeakDbfs << " dBFS";
    } else {
        EXPECT_LT(levels.tailPeakDbfs, kSilentTailDbfs)
            << who << ": still at " << levels.tailPeakDbfs << " dBFS " << kTailSeconds
            << " s after the input stopped";
    }
}

std::string testName(const ::testing::TestParamInfo<int>& info) {
    ProgramRecord record;
    makeFactoryProgram(info.param, record);
    std::string name = std::to_string(info.param) + "_";
    for (const char c : nameOf(record)) {
        name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(FactoryBank, FactoryProgramLevels, ::testing::Range(0, kProgramCount), testName);

TEST(FactoryBank, ProgramZeroIsTheDefaultProgram) {
    ProgramRecord factory;
    ProgramRecord reference;
    std::memset(&factory, 0xAB, sizeof(factory));
    makeFactoryProgram(0, factory);
    makeDefaultProgram(reference);
    EXPECT_EQ(std::memcmp(&factory, &reference, sizeof(factory)), 0);
    EXPECT_STREQ(factory.name, "Default");
    for (int i = 0; i < param::kCount; ++i) {
        EXPECT_EQ(factory.values[i], param::kParameters[static_cast<std::size_t>(i)].factoryValue) << i;
    }
}

TEST(FactoryBank, EveryOtherProgramIsNamedAndSetOfItsOwn) {
    std::set<std::string> names;
    std::vector<ProgramRecord> records(kProgramCount);
    for (int p = 0; p < kProgramCount; ++p) {
        makeFactoryProgram(p, records[static_cast<std::size_t>(p)]);
        const std::string name = nameOf(records[static_cast<std::size_t>(p)]);
        EXPECT_FALSE(name.empty()) << "program " << p;
        EXPECT_LE(name.size(), static_cast<std::size_t>(ProgramRecord::kMaxNameCharacters)) << name;
        for (const char c : name) {
            EXPECT_TRUE(c >= ' ' && c <= '~') << "program " << p << " \"" << name << "\"";
        }
        EXPECT_TRUE(names.insert(name).second) << "program " << p << ": \"" << name << "\" twice";
    }
    for (int p = 0; p < kProgramCount; ++p) {
        for (int q = 0; q < p; ++q) {
            const bool sameValues =
                std::memcmp(records[static_cast<std::size_t>(p)].values,
                            records[static_cast<std::size_t>(q)].values, sizeof(records[0].values)) == 0;
            EXPECT_FALSE(sameValues) << "programs " << q << " and " << p << " hold the same values";
        }
    }
}

TEST(FactoryBank, RecordsAreDeterministicBytes) {
    for (int p = 0; p < kProgramCount; ++p) {
        ProgramRecord a;
        ProgramRecord b;
        std::memset(&a, 0x00, sizeof(a));
        std::memset(&b, 0xFF, sizeof(b));
        makeFactoryProgram(p, a);
        makeFactoryProgram(p, b);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof(a)), 0) << "program " << p << " \"" << nameOf(a) << "\"";
        EXPECT_STREQ(a.formatTag, "0.0b") << "program " << p;
    }
}

TEST(FactoryBank, OutOfRangeIndicesGiveTheDefaultProgram) {
    ProgramRecord reference;
    makeDefaultProgram(reference);
    for (const int index : {-1, kProgramCount, 1000}) {
        ProgramRecord record;
        makeFactoryProgram(index, record);
        EXPECT_EQ(std::memcmp(&record, &reference, sizeof(record)), 0) << index;
    }
}

std::uint32_t bigEndianAt(const std::vector<unsigned char>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) << 24 | static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 8 | static_cast<std::uint32_t>(bytes[at + 3]);
}

// presets/factory.fxb, the bank a user loads from a host's preset menu, is the
// factory bank itself: a standard bank file ('CcnK', 'FBCh') of this plug-in
// whose chunk is the effect's bank chunk byte for byte, program 0 current.
TEST(FactoryBank, TheShippedBankFileHoldsTheFactoryBank) {
    std::ifstream file(VORNHALT_FACTORY_BANK_FILE, std::ios::binary);
    ASSERT_TRUE(file.good()) << VORNHALT_FACTORY_BANK_FILE;
    const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                           std::istreambuf_iterator<char>()};
    constexpr std::size_t kHeader = 160; // up to and including the chunk's size
    ASSERT_EQ(bytes.size(), kHeader + kBankBytes);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "CcnK");
    EXPECT_EQ(bigEndianAt(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 12), "FBCh");
    EXPECT_EQ(bigEndianAt(bytes, 16), static_cast<std::uint32_t>(PluginEffect::kUniqueId));
    EXPECT_EQ(bigEndianAt(bytes, 24), static_cast<std::uint32_t>(kProgramCount));
    EXPECT_EQ(bigEndianAt(bytes, 28), 0u); // the current program
    EXPECT_EQ(bigEndianAt(bytes, 156), static_cast<std::uint32_t>(kBankBytes));

    auto effect = makeEffect();
    void* chunk = nullptr;
    ASSERT_EQ(effect->getChunk(&chunk, false), kBankBytes);
    const auto* bank = static_cast<const unsigned char*>(chunk);
    for (int p = 0; p < kProgramCount; ++p) {
        const std::size_t at = static_cast<std::size_t>(p) * kProgramRecordBytes;
        EXPECT_EQ(std::memcmp(bytes.data() + kHeader + at, bank + at, kProgramRecordBytes), 0)
            << "program " << p << " \"" << nameOf(effect->program(p))
            << "\" differs from presets/factory.fxb: write the file again with "
               "vornhalt-render --save-bank presets/factory.fxb";
    }
}

} // namespace
