// Fuzz target: a chunk of any size and content handed to the effect, as a host
// restoring a damaged or foreign session would. The first byte chooses preset
// or bank; the rest is the chunk. A chunk of the wrong size must change
// nothing; one of the right size must read back byte for byte, except values
// of the current program that are not numbers, which keep the value in force.
// Audio processed afterwards must be finite and bounded.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_effect.h"
#include "fuzz_input.h"

namespace {

using namespace fuzzing;

std::vector<std::uint8_t> chunkOf(vst2::AEffect* record, bool isPreset) {
    void* data = nullptr;
    const auto size = record->dispatcher(record, vst2::effGetChunk, isPreset ? 1 : 0, 0, &data, 0.0f);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    const std::uint8_t mode = in.byte();
    const bool isPreset = (mode & 1u) != 0;
    std::vector<std::uint8_t> chunk = in.rest();
    const std::size_t bytes = chunk.size();
    chunk.push_back(0); // a valid pointer even for an empty chunk

    vst2::AEffect* record = createEffect();
    if ((mode & 2u) != 0) {
        // Start from another program than the first.
        record->dispatcher(record, vst2::effSetProgram, 0, (mode >> 2) % 32, nullptr, 0.0f);
    }
    const std::vector<std::uint8_t> bankBefore = chunkOf(record, false);
    float valuesBefore[battery::kParameterCount];
    for (int i = 0; i < battery::kParameterCount; ++i) {
        valuesBefore[i] = record->getParameter(record, i);
    }
    const auto answer = record->dispatcher(record, vst2::effSetChunk, isPreset ? 1 : 0,
                                           static_cast<vst2::intptr>(bytes), chunk.data(), 0.0f);
    const std::size_t expected = isPreset ? 456 : 14592;
    if (bytes != expected) {
        if (answer != 0) {
            fail("a chunk of the wrong size was taken", static_cast<double>(bytes));
        }
        if (chunkOf(record, false) != bankBefore) {
            fail("a refused chunk changed the bank", static_cast<double>(bytes));
        }
    } else {
        if (answer != 1) {
            fail("a chunk of the right size was refused", static_cast<double>(bytes));
        }
        const std::vector<std::uint8_t> back = chunkOf(record, isPreset);
        const auto program =
            static_cast<std::size_t>(record->dispatcher(record, vst2::effGetProgram, 0, 0, nullptr, 0.0f));
        const std::size_t current = isPreset ? 0 : program * 456;
        for (std::size_t i = 0; i < bytes; ++i) {
            const bool currentValue = i >= current && i < current + 4 * battery::kParameterCount;
            if (!currentValue && back[i] != chunk[i]) {
                fail("a chunk byte did not read back", static_cast<double>(i));
            }
        }
        for (int p = 0; p < battery::kParameterCount; ++p) {
            float given, kept;
            std::memcpy(&given, chunk.data() + current + 4 * static_cast<std::size_t>(p), 4);
            std::memcpy(&kept, back.data() + current + 4 * static_cast<std::size_t>(p), 4);
            const float inForce = record->getParameter(record, p);
            const float wanted = std::isfinite(given) ? given : valuesBefore[p];
            if (std::memcmp(&kept, &wanted, 4) != 0 || std::memcmp(&inForce, &wanted, 4) != 0) {
                fail("a loaded value is not the one in force", p);
            }
        }
        char name[256] = {};
        record->dispatcher(record, vst2::effGetProgramName, 0, 0, name, 0.0f);
        if (std::strlen(name) > 22) {
            fail("a program name longer than 22 characters", static_cast<double>(std::strlen(name)));
        }
    }
    // The state as loaded must sound: noise, then a square, at full scale.
    float left[256], right[256];
    std::uint32_t state = 0x9e3779b9u ^ static_cast<std::uint32_t>(bytes);
    for (int i = 0; i < 256; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        left[i] = static_cast<float>(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
        right[i] = (i / 16) % 2 != 0 ? 1.0f : -1.0f;
    }
    for (int block = 0; block < 4; ++block) {
        processAndCheck(record, left, right, 256, block % 2 == 0);
    }
    closeEffect(record);
    return 0;
}
