// Programs and chunks: the live bank, byte-exact records, and chunks a host
// hands back (or gets wrong).

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fake_host.h"

using namespace param;

namespace {

std::vector<unsigned char> chunkOf(PluginEffect& effect, bool preset) {
    void* data = nullptr;
    const int size = effect.getChunk(&data, preset);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(bytes, bytes + size);
}

float valueIn(const std::vector<unsigned char>& chunk, int program, int index) {
    float v;
    std::memcpy(&v, chunk.data() + program * 456 + index * 4, 4);
    return v;
}

std::string programName(PluginEffect& effect) {
    char name[64];
    std::memset(name, 'x', sizeof(name));
    effect.getProgramName(name);
    return name;
}

} // namespace

TEST(ProgramBank, FactoryBankIsByteExact) {
    auto effect = makeEffect();
    const auto bank = chunkOf(*effect, false);
    ASSERT_EQ(bank.size(), 14592u);
    // Program 0 is "Default": every parameter at its factory value.
    EXPECT_EQ(valueIn(bank, 0, 1), 0.5f);
    EXPECT_EQ(valueIn(bank, 0, 2), 0.1f);
    EXPECT_EQ(valueIn(bank, 0, 4), 0.8f);
    EXPECT_EQ(valueIn(bank, 0, 15), 0.98f);
    EXPECT_EQ(valueIn(bank, 0, 17), 0.0f);
    EXPECT_EQ(valueIn(bank, 0, 20), 1.0f);
    EXPECT_EQ(valueIn(bank, 0, 32), 0.05f);
    EXPECT_EQ(valueIn(bank, 0, 40), 0.5f);
    EXPECT_EQ(valueIn(bank, 0, 53), 1.0f);
    EXPECT_EQ(valueIn(bank, 0, 54), 0.5f);
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(valueIn(bank, 0, i), kParameters[static_cast<std::size_t>(i)].factoryValue) << i;
    }
    EXPECT_STREQ(reinterpret_cast<const char*>(bank.data() + 224), "Default");
    for (int p = 0; p < 32; ++p) {
        const unsigned char* record = bank.data() + p * 456;
        const auto* name = reinterpret_cast<const char*>(record + 224);
        const std::size_t nameLength = strnlen(name, 224);
        ASSERT_GE(nameLength, 1u) << p;
        ASSERT_LE(nameLength, 22u) << p;
        if (p > 0) {
            EXPECT_STRNE(name, "Default") << p;
        }
        // The parameters no component reads stay at zero in every program.
        EXPECT_EQ(valueIn(bank, p, 0), 0.0f) << p;
        EXPECT_EQ(valueIn(bank, p, 55), 0.0f) << p;
        EXPECT_STREQ(reinterpret_cast<const char*>(record + 448), "0.0b") << p;
        // Everything after the terminators is zero, so saved chunks are deterministic.
        for (std::size_t b = 224 + nameLength; b < 448; ++b) {
            ASSERT_EQ(record[b], 0) << p << " " << b;
        }
        for (int b = 448 + 4; b < 456; ++b) {
            ASSERT_EQ(record[b], 0) << p << " " << b;
        }
    }
    EXPECT_EQ(chunkOf(*effect, true).size(), 456u);
}

TEST(ProgramBank, ProgramsKeepTheirEdits) {
    auto effect = makeEffect();
    effect->setParameter(kFeedback, 0.3f);
    effect->setProgram(1);
    const float programOne = effect->program(1).values[kFeedback];
    ASSERT_NE(programOne, 0.3f);
    EXPECT_EQ(effect->getParameter(kFeedback), programOne);
    effect->setProgram(0);
    EXPECT_EQ(effect->getParameter(kFeedback), 0.3f);

    // Out of range: the current program stays and its values are applied again.
    effect->setProgram(32);
    EXPECT_EQ(effect->getProgram(), 0);
    effect->setProgram(-1);
    EXPECT_EQ(effect->getProgram(), 0);
    EXPECT_EQ(effect->getParameter(kFeedback), 0.3f);
}

TEST(ProgramBank, PresetChunkReplacesOnlyTheCurrentRecord) {
    auto source = makeEffect();
    source->setParameter(kMix, 0.9f);
    source->setProgramName("Loaded");
    const auto preset = chunkOf(*source, true);

    auto effect = makeEffect();
    effect->setProgram(5);
    const auto before = chunkOf(*effect, false);
    std::vector<unsigned char> bytes = preset;
    ASSERT_EQ(effect->setChunk(bytes.data(), 456, true), 1);
    EXPECT_EQ(effect->getParameter(kMix), 0.9f);
    EXPECT_EQ(programName(*effect), "Loaded");
    const auto after = chunkOf(*effect, false);
    for (int p = 0; p < 32; ++p) {
        const bool same = std::memcmp(before.data() + p * 456, after.data() + p * 456, 456) == 0;
        EXPECT_EQ(same, p != 5) << p;
    }
}

TEST(ProgramBank, BankRoundTripRestoresEveryProgram) {
    auto source = makeEffect();
    for (int p = 0; p < 32; ++p) {
        source->setProgram(p);
        source->setParameter(kDelay, static_cast<float>(p) / 32.0f);
    }
    source->setProgram(3);
    auto bank = chunkOf(*source, false);

    auto effect = makeEffect();
    effect->setProgram(3);
    ASSERT_EQ(effect->setChunk(bank.data(), static_cast<int>(bank.size()), false), 1);
    EXPECT_EQ(chunkOf(*effect, false), bank);
    EXPECT_EQ(effect->getParameter(kDelay), 3 / 32.0f);
}

TEST(ProgramBank, WrongChunkSizesAndNullDataChangeNothing) {
    auto effect = makeEffect();
    effect->setParameter(kFeedback, 0.25f);
    const auto before = chunkOf(*effect, false);
    std::vector<unsigned char> junk(20000, 0x41);
    EXPECT_EQ(effect->setChunk(junk.data(), 14591, false), 0);
    EXPECT_EQ(effect->setChunk(junk.data(), 14593, false), 0);
    EXPECT_EQ(effect->setChunk(junk.data(), 455, true), 0);
    EXPECT_EQ(effect->setChunk(junk.data(), 14592, true), 0);
    EXPECT_EQ(effect->setChunk(nullptr, 456, true), 0);
    EXPECT_EQ(effect->setChunk(nullptr, 14592, false), 0);
    EXPECT_EQ(effect->getChunk(nullptr, false), 0);
    EXPECT_EQ(chunkOf(*effect, false), before);
    EXPECT_EQ(effect->getParameter(kFeedback), 0.25f);
}

TEST(ProgramBank, NonFiniteValuesInAChunkKeepTheValuesInForce) {
    auto effect = makeEffect();
    effect->setParameter(kCutoff, 0.4f);
    auto preset = chunkOf(*effect, true);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::memcpy(preset.data() + kCutoff * 4, &nan, 4);
    const float mix = 0.125f;
    std::memcpy(preset.data() + kMix * 4, &mix, 4);
    ASSERT_EQ(effect->setChunk(preset.data(), 456, true), 1);
    EXPECT_EQ(effect->getParameter(kMix), 0.125f);
    EXPECT_EQ(effect->getParameter(kCutoff), 0.4f);
    EXPECT_EQ(effect->program(0).values[kCutoff], 0.4f); // the record matches the state again
}

TEST(ProgramNames, LengthLimitsAndUnterminatedNames) {
    auto effect = makeEffect();
    EXPECT_EQ(programName(*effect), "Default");
    effect->setProgramName("abcdefghijklmnopqrstuv"); // 22 characters
    EXPECT_EQ(programName(*effect), "abcdefghijklmnopqrstuv");
    effect->setProgramName("abcdefghijklmnopqrstuvw"); // 23: ignored
    EXPECT_EQ(programName(*effect), "abcdefghijklmnopqrstuv");
    effect->setProgramName(nullptr);
    effect->getProgramName(nullptr);
    EXPECT_EQ(programName(*effect), "abcdefghijklmnopqrstuv");

    effect->setProgramName("ab");
    const auto record = chunkOf(*effect, true);
    for (int b = 224 + 3; b < 448; ++b) {
        ASSERT_EQ(record[b], 0) << "stale bytes after the name at " << b;
    }

    auto unterminated = chunkOf(*effect, true);
    std::memset(unterminated.data() + 224, 'N', 224);
    ASSERT_EQ(effect->setChunk(unterminated.data(), 456, true), 1);
    EXPECT_EQ(programName(*effect), std::string(22, 'N'));
}

TEST(ProgramCopy, CopiesTheWholeRecordAndRefusesBadDestinations) {
    auto effect = makeEffect();
    effect->setParameter(kFeedback, 0.6f);
    effect->setProgramName("Source");
    EXPECT_TRUE(effect->copyProgram(3));
    EXPECT_EQ(effect->getProgram(), 0);
    const auto bank = chunkOf(*effect, false);
    EXPECT_EQ(std::memcmp(bank.data(), bank.data() + 3 * 456, 456), 0);

    EXPECT_FALSE(effect->copyProgram(32));
    EXPECT_FALSE(effect->copyProgram(-1));
    EXPECT_EQ(chunkOf(*effect, false), bank);
}
