// Fuzz target: the effect's record as a careless host uses it. The input is a
// program of up to 64 steps: dispatcher calls with any opcode, index, value
// and opt, parameter changes, changes of the host's time record and short
// blocks of audio. Every pointer the effect receives is one a host could
// hand over: a buffer of realistic size for texts (terminated where the
// effect reads a text), a pointer slot where the opcode returns a pointer,
// a well-formed event list, chunk bytes with their true size. The output of
// every block must be finite and bounded.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "fuzz_effect.h"
#include "fuzz_input.h"

namespace {

using namespace fuzzing;

// Hosts give at least this much for any text the interface returns.
constexpr std::size_t kTextBuffer = 256;
constexpr int kMaxSteps = 64;

// Short audio: full scale, with now and then a sample that is not a number.
void fillInput(FuzzInput& in, float* left, float* right, int frames) {
    const std::uint32_t seed = in.u32();
    std::uint32_t state = seed | 1u;
    const int kind = static_cast<int>(seed % 4);
    for (int i = 0; i < frames; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        float v = 0.0f;
        switch (kind) {
        case 0:
            v = static_cast<float>(state >> 8) * (2.0f / 16777216.0f) - 1.0f;
            break;
        case 1:
            v = (seed & 0x100u) != 0 ? 1.0f : -1.0f;
            break;
        case 2:
            v = ((i / (1 + static_cast<int>((seed >> 9) % 64))) % 2) != 0 ? 1.0f : -1.0f;
            break;
        default:
            v = 0.0f;
            break;
        }
        if ((state & 0xffu) == 0) {
            v = std::numeric_limits<float>::quiet_NaN();
        }
        left[i] = v;
        right[i] = (seed & 0x200u) != 0 ? -v : v;
    }
}

// One dispatcher call; false once the effect is closed.
bool dispatch(vst2::AEffect* record, FuzzInput& in) {
    // Mostly the opcodes the interface defines, sometimes any number at all.
    const std::uint8_t selector = in.byte();
    const vst2::int32 opcode = (selector & 0x80u) != 0 ? in.i32() : static_cast<vst2::int32>(selector % 80);
    const vst2::int32 index = (in.byte() & 1u) != 0 ? in.i32() : static_cast<vst2::int32>(in.byte()) - 8;
    vst2::intptr value = (in.byte() & 1u) != 0 ? static_cast<vst2::intptr>(in.i64())
                                               : static_cast<vst2::intptr>(in.byte()) - 8;
    const float opt = in.f32();

    char text[kTextBuffer] = {};
    void* slot = nullptr;
    void* valueSlot = nullptr;
    void* ptr = text;
    std::vector<std::uint8_t> chunk;
    std::vector<vst2::VstMidiEvent> midi;
    std::vector<vst2::VstEvent*> eventPointers;
    std::vector<std::uintptr_t> eventsBlock;
    vst2::ERect* rect = nullptr;

    switch (opcode) {
    case vst2::effClose:
        record->dispatcher(record, opcode, index, value, nullptr, opt);
        return false;
    case vst2::effGetChunk:
        ptr = &slot;
        break;
    case vst2::effSetChunk: {
        chunk = in.bytes(16384);
        // The true size, or less: never more than the host's buffer holds.
        const auto size = static_cast<vst2::intptr>(chunk.size());
        value = size == 0 ? 0 : (value < 0 || value > size ? size : value);
        chunk.push_back(0); // a valid pointer even for an empty chunk
        ptr = chunk.data();
        break;
    }
    case vst2::effEditGetRect:
        ptr = &rect;
        break;
    case vst2::effGetSpeakerArrangement:
        value = reinterpret_cast<vst2::intptr>(&valueSlot);
        ptr = &slot;
        break;
    case vst2::effProcessEvents: {
        const int count = in.byte() % 9;
        midi.assign(static_cast<std::size_t>(count), vst2::VstMidiEvent{});
        for (vst2::VstMidiEvent& event : midi) {
            event.type = (in.byte() & 7u) != 0 ? vst2::kVstMidiType : static_cast<vst2::int32>(in.byte());
            event.byteSize = static_cast<vst2::int32>(sizeof(vst2::VstMidiEvent));
            event.deltaFrames = in.byte();
            for (char& b : event.midiData) {
                b = static_cast<char>(in.byte());
            }
        }
        // A VstEvents record with as many pointer slots as events.
        const std::size_t slots = std::max<std::size_t>(midi.size(), 2);
        const std::size_t bytes = offsetof(vst2::VstEvents, events) + slots * sizeof(vst2::VstEvent*);
        eventsBlock.assign((bytes + sizeof(std::uintptr_t) - 1) / sizeof(std::uintptr_t), 0);
        auto* base = reinterpret_cast<unsigned char*>(eventsBlock.data());
        auto* events = new (base) vst2::VstEvents{};
        events->numEvents = count;
        auto** pointers = reinterpret_cast<vst2::VstEvent**>(base + offsetof(vst2::VstEvents, events));
        for (std::size_t i = 0; i < midi.size(); ++i) {
            pointers[i] = reinterpret_cast<vst2::VstEvent*>(&midi[i]);
        }
        ptr = events;
        break;
    }
    case vst2::effSetProgramName:
    case vst2::effCanDo:
    case vst2::effString2Parameter:
    case vst2::effVendorSpecific: {
        // A terminated text the host made.
        const std::vector<std::uint8_t> bytes = in.bytes(kTextBuffer - 1);
        if (!bytes.empty()) {
            std::memcpy(text, bytes.data(), bytes.size());
        }
        break;
    }
    default:
        // Text answers go into the zeroed buffer; opcodes that take no pointer get it or none.
        if ((in.byte() & 3u) == 0) {
            ptr = nullptr;
        }
        break;
    }
    record->dispatcher(record, opcode, index, value, ptr, opt);
    if (text[kTextBuffer - 1] != '\0') {
        fail("a text answer filled the whole buffer", opcode);
    }
    if (opcode == vst2::effGetChunk && slot != nullptr) {
        // The host reads the chunk it was handed.
        volatile std::uint8_t sum = 0;
        const auto size = record->dispatcher(record, vst2::effGetChunk, index, 0, &slot, 0.0f);
        for (vst2::intptr i = 0; i < size; ++i) {
            sum = static_cast<std::uint8_t>(sum + static_cast<const std::uint8_t*>(slot)[i]);
        }
    }
    if (opcode == vst2::effEditGetRect && rect != nullptr &&
        (rect->right < rect->left || rect->bottom < rect->top)) {
        fail("editor rectangle upside down", rect->right);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    vst2::AEffect* record = createEffect();
    bool open = true;
    float left[256], right[256];
    for (int step = 0; step < kMaxSteps && open && !in.empty(); ++step) {
        switch (in.byte() % 8) {
        case 0:
        case 1:
        case 2:
        case 3:
            open = dispatch(record, in);
            break;
        case 4: {
            const vst2::int32 index =
                (in.byte() & 1u) != 0 ? in.i32() : static_cast<vst2::int32>(in.byte() % 64);
            record->setParameter(record, index, in.f32());
            break;
        }
        case 5:
            FakeHost::time.tempo = in.f64();
            FakeHost::time.ppqPos = in.f64();
            FakeHost::time.flags = in.i32();
            FakeHost::provideTime = (in.byte() & 7u) != 0;
            break;
        case 6:
        case 7: {
            const int frames = in.byte() % 65;
            const bool replacing = (in.byte() & 1u) != 0;
            fillInput(in, left, right, frames);
            processAndCheck(record, left, right, frames, replacing);
            break;
        }
        }
    }
    if (open) {
        closeEffect(record);
    }
    return 0;
}
