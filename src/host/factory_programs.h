#pragma once

// The factory bank: program 0 is "Default" (every parameter at its factory
// value); programs 1 to 31 are named settings that show what the effect does.

#include "common/program_record.h"

// Fills `record` with factory program `index` (0..kProgramCount - 1), zeros
// after the name's terminator included, so that a saved bank is the same
// bytes every time. An index outside the bank gives "Default".
void makeFactoryProgram(int index, ProgramRecord& record);
