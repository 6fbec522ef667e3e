// The program bank: 32 live records. Every parameter change is written into
// the current record, so saving is a pointer hand-over and loading a byte copy
// followed by re-applying the current record.

#include <cmath>
#include <cstring>

#include "host/plugin_effect.h"

void PluginEffect::setProgram(int32 program) {
    if (program >= 0 && program < kProgramCount) {
        curProgram = program;
    }
    ProgramRecord& record = currentRecord();
    for (int32 i = 0; i < param::kCount; ++i) {
        setParameter(i, record.values[i]);
        // A value the setter refused (not a number) is replaced in the record
        // by the value in force, so the record keeps matching the state.
        record.values[i] = values[i];
    }
}

void PluginEffect::setProgramName(const char* name) {
    if (name == nullptr || std::strlen(name) > ProgramRecord::kMaxNameCharacters) {
        return;
    }
    ProgramRecord& record = currentRecord();
    std::memset(record.name, 0, sizeof(record.name));
    std::strcpy(record.name, name);
}

namespace {

// A record loaded from a chunk may hold no terminator: the name is cut at 22.
void copyName(const ProgramRecord& record, char* name) {
    const std::size_t length = strnlen(record.name, ProgramRecord::kMaxNameCharacters);
    std::memcpy(name, record.name, length);
    name[length] = '\0';
}

} // namespace

void PluginEffect::getProgramName(char* name) {
    if (name != nullptr) {
        copyName(currentRecord(), name);
    }
}

bool PluginEffect::getProgramNameIndexed(int32 /*category*/, int32 index, char* text) {
    if (text == nullptr || index < 0 || index >= kProgramCount) {
        return false;
    }
    copyName(programs[index], text);
    return true;
}

bool PluginEffect::copyProgram(int32 destination) {
    if (destination < 0 || destination >= kProgramCount) {
        return false;
    }
    if (destination != curProgram) {
        programs[destination] = currentRecord();
    }
    return true;
}

PluginEffect::int32 PluginEffect::getChunk(void** data, bool isPreset) {
    if (data == nullptr) {
        return 0;
    }
    if (isPreset) {
        *data = &currentRecord();
        return kProgramRecordBytes;
    }
    *data = programs.get();
    return kBankBytes;
}

PluginEffect::int32 PluginEffect::setChunk(void* data, int32 byteSize, bool isPreset) {
    if (data == nullptr) {
        return 0;
    }
    if (isPreset) {
        if (byteSize != kProgramRecordBytes) {
            return 0;
        }
        std::memmove(&currentRecord(), data, kProgramRecordBytes);
    } else {
        if (byteSize != kBankBytes) {
            return 0;
        }
        std::memmove(programs.get(), data, kBankBytes);
    }
    setProgram(curProgram);
    return 1;
}
