#include "common/program_record.h"

#include <cstring>

#include "common/parameter_table.h"

void makeDefaultProgram(ProgramRecord& record) {
    using namespace param;
    std::memset(&record, 0, sizeof(record));
    for (int i = 0; i < kCount; ++i) {
        record.values[i] = kParameters[static_cast<std::size_t>(i)].factoryValue;
    }
    std::strcpy(record.name, "Default");
    std::strcpy(record.formatTag, "0.0b");
}
