#pragma once

// One program: 56 stored parameter values, a name and a format tag. The bank
// of 32 records back to back is also the chunk the host saves, so the layout
// is an interface: 456 bytes a record, 14592 bytes the bank.

#include <cstddef>

#include "common/parameter_table.h"

struct ProgramRecord {
    static constexpr int kNameLength = 224;
    static constexpr int kMaxNameCharacters = 22;
    static constexpr int kTagLength = 8;

    float values[param::kCount];
    char name[kNameLength];
    char formatTag[kTagLength];
};

constexpr int kProgramCount = 32;
constexpr int kProgramRecordBytes = 456;
constexpr int kBankBytes = kProgramCount * kProgramRecordBytes;

static_assert(sizeof(ProgramRecord) == kProgramRecordBytes);
static_assert(offsetof(ProgramRecord, name) == 224);
static_assert(offsetof(ProgramRecord, formatTag) == 448);
static_assert(kBankBytes == 14592);

// The factory program "Default".
void makeDefaultProgram(ProgramRecord& record);
