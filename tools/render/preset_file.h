#pragma once

// Program (.fxp) and bank (.fxb) files: the host-independent way VST 2 state travels between
// hosts. Every integer and float is big-endian. A file starts with 'CcnK' and the number of bytes
// that follow that field; then the kind:
//   'FxCk' a program as plain parameter values      'FPCh' a program as an opaque chunk
//   'FxBk' a bank of 'FxCk' programs                 'FBCh' a bank as an opaque chunk
// This codec only moves bytes: whether a file suits a plug-in (its unique id, its sizes) is for
// the caller to judge.

#include <cstdint>
#include <string>
#include <vector>

namespace vrender {

enum class StateForm {
    Chunk,  // 'FPCh' / 'FBCh'
    Values, // 'FxCk' / 'FxBk'
};

// A program name field holds 28 bytes with the terminator.
constexpr std::size_t kProgramNameBytes = 28;

struct ProgramFile {
    StateForm form = StateForm::Chunk;
    std::int32_t formatVersion = 1;
    std::int32_t uniqueId = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t numParams = 0;
    std::string name;                // at most 27 characters are kept
    std::vector<std::uint8_t> chunk; // Chunk form
    std::vector<float> values;       // Values form: numParams entries
};

struct BankFile {
    StateForm form = StateForm::Chunk;
    std::int32_t formatVersion = 2; // 2 records the current program, 1 does not
    std::int32_t uniqueId = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t numPrograms = 0;
    std::int32_t currentProgram = -1;  // version 2 only; -1 when the file does not say
    std::vector<std::uint8_t> chunk;   // Chunk form
    std::vector<ProgramFile> programs; // Values form: numPrograms 'FxCk' programs
};

// A four-character code as text, with unprintable bytes escaped ("VRHT", "\x00abc").
std::string fourCharacterText(std::int32_t code);

std::vector<std::uint8_t> encodeProgram(const ProgramFile& program);
std::vector<std::uint8_t> encodeBank(const BankFile& bank);

// The size of each form as encodeProgram and encodeBank write it: a program of `count` values, or
// with a chunk of `count` bytes; a bank of `programs` such programs of values, or with a chunk of
// `count` bytes.
std::uint64_t programFileBytes(StateForm form, std::uint64_t count);
std::uint64_t bankFileBytes(StateForm form, std::uint64_t programs, std::uint64_t count);

// Reads a whole file's bytes. On failure returns false and `error` says why in one line; the
// output is then unspecified.
bool decodeProgram(const std::vector<std::uint8_t>& bytes, ProgramFile& program, std::string& error);
bool decodeBank(const std::vector<std::uint8_t>& bytes, BankFile& bank, std::string& error);

} // namespace vrender
