// Fuzz target: the renderer's reader of program (.fxp) and bank (.fxb) files,
// given any bytes. What it accepts must survive writing and reading again
// unchanged: the reader and the writer agree on every field.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/preset_file.h"

namespace {

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

bool sameValues(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0);
}

bool sameProgram(const vrender::ProgramFile& a, const vrender::ProgramFile& b) {
    return a.form == b.form && a.formatVersion == b.formatVersion && a.uniqueId == b.uniqueId &&
           a.pluginVersion == b.pluginVersion && a.numParams == b.numParams && a.name == b.name &&
           a.chunk == b.chunk && sameValues(a.values, b.values);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::uint8_t> bytes(data, data + size);
    std::string error;

    vrender::ProgramFile program;
    if (vrender::decodeProgram(bytes, program, error)) {
        vrender::ProgramFile again;
        if (!vrender::decodeProgram(vrender::encodeProgram(program), again, error)) {
            fail("a program the reader took cannot be read back after writing");
        }
        if (!sameProgram(program, again)) {
            fail("a program changed on writing and reading back");
        }
    } else if (error.empty() || error.find('\n') != std::string::npos) {
        fail("a refused program file without a one-line reason");
    }

    vrender::BankFile bank;
    error.clear();
    if (vrender::decodeBank(bytes, bank, error)) {
        vrender::BankFile again;
        if (!vrender::decodeBank(vrender::encodeBank(bank), again, error)) {
            fail("a bank the reader took cannot be read back after writing");
        }
        // A current program below 0 names none; the writer stores that as program 0.
        const bool sameCurrent =
            bank.currentProgram < 0 ? again.currentProgram <= 0 : bank.currentProgram == again.currentProgram;
        bool same = bank.form == again.form && bank.formatVersion == again.formatVersion &&
                    bank.uniqueId == again.uniqueId && bank.pluginVersion == again.pluginVersion &&
                    bank.numPrograms == again.numPrograms && sameCurrent && bank.chunk == again.chunk &&
                    bank.programs.size() == again.programs.size();
        for (std::size_t i = 0; same && i < bank.programs.size(); ++i) {
            same = sameProgram(bank.programs[i], again.programs[i]);
        }
        if (!same) {
            fail("a bank changed on writing and reading back");
        }
    } else if (error.empty() || error.find('\n') != std::string::npos) {
        fail("a refused bank file without a one-line reason");
    }
    return 0;
}
