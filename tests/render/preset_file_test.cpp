// The .fxp/.fxb codec: byte layout against hand-built files, round trips of all four forms, and
// refusal of every truncated or inconsistent file.

#include <gtest/gtest.h>

#include <cstring>

#include "render/preset_file.h"

using namespace vrender;

namespace {

constexpr std::int32_t kVrht = ('V' << 24) | ('R' << 16) | ('H' << 8) | 'T';

void put32(std::vector<std::uint8_t>& bytes, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

void putText(std::vector<std::uint8_t>& bytes, const char* text, std::size_t field) {
    const std::size_t length = std::strlen(text);
    for (std::size_t i = 0; i < field; ++i) {
        bytes.push_back(i < length ? static_cast<std::uint8_t>(text[i]) : 0);
    }
}

std::uint32_t get32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

std::vector<std::uint8_t> chunkOf(std::size_t size) {
    std::vector<std::uint8_t> chunk(size);
    for (std::size_t i = 0; i < size; ++i) {
        chunk[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return chunk;
}

ProgramFile chunkProgram() {
    ProgramFile p;
    p.form = StateForm::Chunk;
    p.uniqueId = kVrht;
    p.pluginVersion = 1;
    p.numParams = 56;
    p.name = "Glass Choir";
    p.chunk = chunkOf(456);
    return p;
}

ProgramFile valueProgram(const char* name, float first) {
    ProgramFile p;
    p.form = StateForm::Values;
    p.uniqueId = kVrht;
    p.pluginVersion = 1;
    p.name = name;
    p.values = {first, 0.25f, -1.5f, 1e-30f};
    p.numParams = 4;
    return p;
}

BankFile chunkBank() {
    BankFile b;
    b.form = StateForm::Chunk;
    b.uniqueId = kVrht;
    b.pluginVersion = 1;
    b.numPrograms = 32;
    b.currentProgram = 5;
    b.chunk = chunkOf(14592);
    return b;
}

BankFile valueBank() {
    BankFile b;
    b.form = StateForm::Values;
    b.formatVersion = 1;
    b.uniqueId = kVrht;
    b.pluginVersion = 3;
    b.programs = {valueProgram("one", 0.1f), valueProgram("two", 0.2f), valueProgram("three", 0.3f)};
    b.numPrograms = 3;
    return b;
}

} // namespace

TEST(PresetFile, ChunkPresetHasTheStandardLayout) {
    const std::vector<std::uint8_t> bytes = encodeProgram(chunkProgram());
    ASSERT_EQ(bytes.size(), 60u + 456u);
    EXPECT_EQ(get32(bytes, 0), 0x43636E4Bu);      // 'CcnK'
    EXPECT_EQ(get32(bytes, 4), bytes.size() - 8); // bytes after the size field
    EXPECT_EQ(get32(bytes, 8), 0x46504368u);      // 'FPCh'
    EXPECT_EQ(get32(bytes, 12), 1u);              // format version
    EXPECT_EQ(get32(bytes, 16), 0x56524854u);     // 'VRHT'
    EXPECT_EQ(get32(bytes, 20), 1u);              // plug-in version
    EXPECT_EQ(get32(bytes, 24), 56u);             // parameters
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[28])), "Glass Choir");
    EXPECT_EQ(get32(bytes, 56), 456u); // chunk size
    EXPECT_EQ(bytes[60], 3);           // chunk starts
    EXPECT_EQ(bytes.back(), static_cast<std::uint8_t>(455 * 7 + 3));
}

TEST(PresetFile, ChunkBankHasTheStandardLayout) {
    const std::vector<std::uint8_t> bytes = encodeBank(chunkBank());
    ASSERT_EQ(bytes.size(), 160u + 14592u);
    EXPECT_EQ(get32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(get32(bytes, 8), 0x46424368u); // 'FBCh'
    EXPECT_EQ(get32(bytes, 12), 2u);
    EXPECT_EQ(get32(bytes, 24), 32u); // programs
    EXPECT_EQ(get32(bytes, 28), 5u);  // current program (version 2)
    for (std::size_t i = 32; i < 156; ++i) {
        ASSERT_EQ(bytes[i], 0) << "reserved byte " << i;
    }
    EXPECT_EQ(get32(bytes, 156), 14592u);
}

// The reader refuses anything larger than these sizes unread: too small a size loses valid files.
TEST(PresetFile, FileSizesOfEachFormMatchTheEncoder) {
    const ProgramFile values = valueProgram("plain", 0.5f);
    EXPECT_EQ(programFileBytes(StateForm::Chunk, 456), encodeProgram(chunkProgram()).size());
    EXPECT_EQ(programFileBytes(StateForm::Values, values.values.size()), encodeProgram(values).size());
    EXPECT_EQ(bankFileBytes(StateForm::Chunk, 32, 14592), encodeBank(chunkBank()).size());
    EXPECT_EQ(bankFileBytes(StateForm::Values, 3, values.values.size()), encodeBank(valueBank()).size());
}

TEST(PresetFile, ReadsAHandBuiltFloatPreset) {
    std::vector<std::uint8_t> bytes;
    put32(bytes, 0x43636E4B);
    put32(bytes, 48 + 3 * 4);
    put32(bytes, 0x4678436B); // 'FxCk'
    put32(bytes, 1);
    put32(bytes, 0x56524854);
    put32(bytes, 7);
    put32(bytes, 3);
    putText(bytes, "Hand made", 28);
    put32(bytes, 0x3F000000); // 0.5
    put32(bytes, 0x3F800000); // 1.0
    put32(bytes, 0xBE800000); // -0.25

    ProgramFile p;
    std::string error;
    ASSERT_TRUE(decodeProgram(bytes, p, error)) << error;
    EXPECT_EQ(p.form, StateForm::Values);
    EXPECT_EQ(p.uniqueId, kVrht);
    EXPECT_EQ(p.pluginVersion, 7);
    EXPECT_EQ(p.name, "Hand made");
    EXPECT_EQ(p.values, (std::vector<float>{0.5f, 1.0f, -0.25f}));
}

TEST(PresetFile, ReadsAHandBuiltFloatBankOfVersionOne) {
    std::vector<std::uint8_t> bytes;
    put32(bytes, 0x43636E4B);
    put32(bytes, 0);          // filled in below
    put32(bytes, 0x4678426B); // 'FxBk'
    put32(bytes, 1);
    put32(bytes, 0x56524854);
    put32(bytes, 1);
    put32(bytes, 2);
    putText(bytes, "", 128);
    for (const char* name : {"first", "second"}) {
        put32(bytes, 0x43636E4B);
        put32(bytes, 48 + 4);
        put32(bytes, 0x4678436B);
        put32(bytes, 1);
        put32(bytes, 0x56524854);
        put32(bytes, 1);
        put32(bytes, 1);
        putText(bytes, name, 28);
        put32(bytes, name[0] == 'f' ? 0x3E800000u : 0x3F400000u); // 0.25, 0.75
    }
    const std::uint32_t size = static_cast<std::uint32_t>(bytes.size() - 8);
    for (int i = 0; i < 4; ++i) {
        bytes[4 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
    }

    BankFile b;
    std::string error;
    ASSERT_TRUE(decodeBank(bytes, b, error)) << error;
    EXPECT_EQ(b.form, StateForm::Values);
    EXPECT_EQ(b.currentProgram, -1); // version 1 does not record it
    ASSERT_EQ(b.programs.size(), 2u);
    EXPECT_EQ(b.programs[0].name, "first");
    EXPECT_EQ(b.programs[0].values, std::vector<float>{0.25f});
    EXPECT_EQ(b.programs[1].name, "second");
    EXPECT_EQ(b.programs[1].values, std::vector<float>{0.75f});
}

TEST(PresetFile, AllFourFormsRoundTrip) {
    std::string error;
    for (const ProgramFile& original : {chunkProgram(), valueProgram("plain", 0.5f)}) {
        ProgramFile back;
        ASSERT_TRUE(decodeProgram(encodeProgram(original), back, error)) << error;
        EXPECT_EQ(back.form, original.form);
        EXPECT_EQ(back.uniqueId, original.uniqueId);
        EXPECT_EQ(back.pluginVersion, original.pluginVersion);
        EXPECT_EQ(back.numParams, original.numParams);
        EXPECT_EQ(back.name, original.name);
        EXPECT_EQ(back.chunk, original.chunk);
        // Bit patterns survive, tiny values included.
        ASSERT_EQ(back.values.size(), original.values.size());
        for (std::size_t i = 0; i < back.values.size(); ++i) {
            EXPECT_EQ(std::memcmp(&back.values[i], &original.values[i], sizeof(float)), 0);
        }
    }
    for (const BankFile& original : {chunkBank(), valueBank()}) {
        BankFile back;
        ASSERT_TRUE(decodeBank(encodeBank(original), back, error)) << error;
        EXPECT_EQ(back.form, original.form);
        EXPECT_EQ(back.formatVersion, original.formatVersion);
        EXPECT_EQ(back.numPrograms, original.numPrograms);
        EXPECT_EQ(back.currentProgram, original.currentProgram);
        EXPECT_EQ(back.chunk, original.chunk);
        ASSERT_EQ(back.programs.size(), original.programs.size());
        for (std::size_t i = 0; i < back.programs.size(); ++i) {
            EXPECT_EQ(back.programs[i].name, original.programs[i].name);
            EXPECT_EQ(back.programs[i].values, original.programs[i].values);
        }
    }
}

TEST(PresetFile, LongNamesKeepTwentySevenCharactersAndATerminator) {
    ProgramFile p = chunkProgram();
    p.name = std::string(40, 'x');
    std::vector<std::uint8_t> bytes = encodeProgram(p);
    EXPECT_EQ(bytes[28 + 26], 'x');
    EXPECT_EQ(bytes[28 + 27], 0);
    ProgramFile back;
    std::string error;
    ASSERT_TRUE(decodeProgram(bytes, back, error));
    EXPECT_EQ(back.name, std::string(27, 'x'));

    // A foreign file that fills the field without a terminator still reads as a bounded name.
    for (std::size_t i = 28; i < 56; ++i) {
        bytes[i] = 'y';
    }
    ASSERT_TRUE(decodeProgram(bytes, back, error));
    EXPECT_EQ(back.name, std::string(27, 'y'));
}

TEST(PresetFile, EveryTruncationIsRefused) {
    const std::vector<std::vector<std::uint8_t>> programs = {encodeProgram(chunkProgram()),
                                                             encodeProgram(valueProgram("v", 0.5f))};
    const std::vector<std::vector<std::uint8_t>> banks = {encodeBank(chunkBank()), encodeBank(valueBank())};
    std::string error;
    for (const auto& whole : programs) {
        for (std::size_t length = 0; length < whole.size(); ++length) {
            ProgramFile p;
            std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            ASSERT_FALSE(decodeProgram(cut, p, error)) << "accepted " << length << " of " << whole.size();
            EXPECT_FALSE(error.empty());
        }
    }
    for (const auto& whole : banks) {
        // Every length would take long for the big chunk bank; every byte of its header and a
        // spread of lengths inside the chunk are enough.
        for (std::size_t length = 0; length < whole.size(); length += length < 400 ? 1 : 997) {
            BankFile b;
            std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length));
            ASSERT_FALSE(decodeBank(cut, b, error)) << "accepted " << length << " of " << whole.size();
        }
        BankFile b;
        std::vector<std::uint8_t> cut(whole.begin(), whole.end() - 1);
        EXPECT_FALSE(decodeBank(cut, b, error));
    }
}

TEST(PresetFile, InconsistentFilesAreRefused) {
    std::string error;
    ProgramFile p;
    const std::vector<std::uint8_t> good = encodeProgram(chunkProgram());

    std::vector<std::uint8_t> extra = good;
    extra.push_back(0);
    EXPECT_FALSE(decodeProgram(extra, p, error)); // a byte past the end the size field gives

    std::vector<std::uint8_t> tooLong = good;
    tooLong[6] += 1; // the size field promises 256 bytes more than are there
    EXPECT_FALSE(decodeProgram(tooLong, p, error));
    EXPECT_NE(error.find("truncated"), std::string::npos) << error;

    std::vector<std::uint8_t> chunkTooShort = good;
    chunkTooShort[59] -= 1; // the chunk size no longer fills the record
    EXPECT_FALSE(decodeProgram(chunkTooShort, p, error));
    EXPECT_NE(error.find("inconsistent"), std::string::npos) << error;

    std::vector<std::uint8_t> negativeChunk = good;
    negativeChunk[56] = 0xFF;
    EXPECT_FALSE(decodeProgram(negativeChunk, p, error));

    std::vector<std::uint8_t> badMagic = good;
    badMagic[0] = 'X';
    EXPECT_FALSE(decodeProgram(badMagic, p, error));
    EXPECT_NE(error.find("CcnK"), std::string::npos) << error;

    std::vector<std::uint8_t> unknownKind = good;
    unknownKind[8] = 'Z';
    EXPECT_FALSE(decodeProgram(unknownKind, p, error));

    std::vector<std::uint8_t> futureVersion = good;
    futureVersion[15] = 3;
    EXPECT_FALSE(decodeProgram(futureVersion, p, error));

    // A float preset whose count asks for more values than the record holds.
    std::vector<std::uint8_t> values = encodeProgram(valueProgram("v", 0.5f));
    values[27] = 5;
    EXPECT_FALSE(decodeProgram(values, p, error));
}

TEST(PresetFile, BanksAndPresetsAreNotTakenForEachOther) {
    std::string error;
    ProgramFile p;
    BankFile b;
    EXPECT_FALSE(decodeProgram(encodeBank(chunkBank()), p, error));
    EXPECT_NE(error.find("bank"), std::string::npos) << error;
    EXPECT_FALSE(decodeBank(encodeProgram(chunkProgram()), b, error));
    EXPECT_NE(error.find("preset"), std::string::npos) << error;

    // A float bank must hold float programs.
    BankFile bank = valueBank();
    std::vector<std::uint8_t> bytes = encodeBank(bank);
    bytes[156 + 8 + 1] = 'P'; // first program's 'FxCk' becomes 'FPCk'
    EXPECT_FALSE(decodeBank(bytes, b, error));
}

TEST(PresetFile, FourCharacterCodesPrintReadably) {
    EXPECT_EQ(fourCharacterText(kVrht), "VRHT");
    EXPECT_EQ(fourCharacterText(0x41000142), "A\\x00\\x01B");
}
