// A tiny stand-in plug-in for the host library's tests, built in several variants:
//   FAKE_NO_ENTRY      exports no entry at all
//   FAKE_MAIN_ONLY     exports only `main` (the old hosts' entry name)
//   FAKE_MAGIC=n       the record's magic
//   FAKE_FLAGS=n       the record's flags
// It talks to the host the way a real effect does (time requests while processing, automation
// gestures, size requests from its editor) and hands its observations back through
// effVendorSpecific queries, so the tests can see what the host answered.

#include "fake_effect.h"

#include <cstdio>
#include <cstring>
#include <new>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#ifdef FAKE_NO_ENTRY

FAKE_EXPORT int fakeNothingHere() {
    return 0;
}

#else

#ifndef FAKE_MAGIC
#define FAKE_MAGIC vst2::kEffectMagic
#endif
#ifndef FAKE_FLAGS
#define FAKE_FLAGS (vst2::effFlagsCanReplacing | vst2::effFlagsHasEditor)
#endif

namespace {

using vst2::AEffect;
using vst2::int32;
using vst2::intptr;

// The opcodes that ended the last closed instance of this library (shared by all instances).
FakeOpcodeLog gLastClosed{};

struct Fake {
    AEffect record{};
    vst2::HostCallback host = nullptr;
    float params[kFakeParams] = {};
    intptr rateSeenDuringEntry = 0;
    FakeOpcodeLog log{};
    bool hadTime = false;
    vst2::VstTimeInfo lastTime{};
    FakeMidiLog midi{};
    int idles = 0;
    bool inIdle = false;
    bool guardIdle = true;
    unsigned char chunk[kFakeChunkSize] = {1, 2, 3, 4, 5, 6, 7, 8};
    char programName[32] = "Init";
    int32 program = 0;

    intptr call(int32 opcode, int32 index = 0, intptr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return host(&record, opcode, index, value, ptr, opt);
    }
    void note(int32 opcode, intptr value) {
        if (log.count < kFakeLogSize) {
            log.opcodes[log.count] = opcode;
            log.values[log.count] = static_cast<int32>(value);
            ++log.count;
        }
    }
    void askTime() {
        auto* t = reinterpret_cast<vst2::VstTimeInfo*>(call(vst2::audioMasterGetTime, 0, kFakeTimeMask));
        hadTime = t != nullptr;
        if (hadTime) {
            lastTime = *t;
        }
    }
};

Fake* self(AEffect* e) {
    return static_cast<Fake*>(e->object);
}

void text(void* ptr, const char* s) {
    std::snprintf(static_cast<char*>(ptr), 64, "%s", s);
}

intptr query(Fake* f, int32 what, intptr value, void* ptr, float opt) {
    switch (what) {
    case kFakeQueryRateSeenDuringEntry:
        return f->rateSeenDuringEntry;
    case kFakeQueryLog:
        *static_cast<FakeOpcodeLog*>(ptr) = f->log;
        return 1;
    case kFakeQueryLastClosed:
        *static_cast<FakeOpcodeLog*>(ptr) = gLastClosed;
        return 1;
    case kFakeQueryTime:
        if (f->hadTime) {
            *static_cast<vst2::VstTimeInfo*>(ptr) = f->lastTime;
        }
        return f->hadTime ? 1 : 0;
    case kFakeQueryMidi:
        *static_cast<FakeMidiLog*>(ptr) = f->midi;
        return 1;
    case kFakeQueryIdles:
        return f->idles;
    case kFakeQueryGesture: {
        // An editor drag of one control: begin, two automated values, end. Returns the host's
        // answers packed as begin | automate << 1 | end << 2.
        const int32 index = static_cast<int32>(value);
        const intptr begin = f->call(vst2::audioMasterBeginEdit, index);
        f->record.setParameter(&f->record, index, opt);
        const intptr automate = f->call(vst2::audioMasterAutomate, index, 0, nullptr, opt);
        f->call(vst2::audioMasterAutomate, index, 0, nullptr, opt * 0.5f);
        const intptr end = f->call(vst2::audioMasterEndEdit, index);
        return begin | (automate << 1) | (end << 2);
    }
    case kFakeQueryDropIdleGuard:
        f->guardIdle = false;
        return 1;
    case kFakeQueryHostCanDo:
        return f->call(vst2::audioMasterCanDo, 0, 0, ptr);
    default:
        return 0;
    }
}

intptr dispatcher(AEffect* e, int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    Fake* f = self(e);
    f->note(opcode, opcode == vst2::effSetSampleRate ? static_cast<intptr>(opt) : value);
    switch (opcode) {
    case vst2::effClose:
        gLastClosed = f->log;
        delete f;
        return 1;
    case vst2::effSetProgram:
        f->program = static_cast<int32>(value);
        return 0;
    case vst2::effGetProgram:
        return f->program;
    case vst2::effSetProgramName:
        std::snprintf(f->programName, sizeof f->programName, "%s", static_cast<const char*>(ptr));
        return 0;
    case vst2::effGetProgramName:
        text(ptr, f->programName);
        return 0;
    case vst2::effGetParamName:
        text(ptr, index == 0 ? "Gain" : "Mix");
        return 0;
    case vst2::effGetParamLabel:
        text(ptr, index == 0 ? "dB" : "%");
        return 0;
    case vst2::effGetParamDisplay:
        std::snprintf(static_cast<char*>(ptr), 64, "%.2f", static_cast<double>(f->params[index]));
        return 0;
    case vst2::effGetChunk:
        *static_cast<void**>(ptr) = f->chunk;
        return index != 0 ? kFakeChunkSize / 2 : kFakeChunkSize;
    case vst2::effSetChunk:
        if (value != kFakeChunkSize) {
            return 0;
        }
        std::memcpy(f->chunk, ptr, kFakeChunkSize);
        return 1;
    case vst2::effProcessEvents: {
        const auto* events = static_cast<const vst2::VstEvents*>(ptr);
        const auto* const* slots = reinterpret_cast<const vst2::VstEvent* const*>(
            reinterpret_cast<const unsigned char*>(events) + offsetof(vst2::VstEvents, events));
        f->midi = FakeMidiLog{};
        f->midi.count = events->numEvents;
        for (int32 i = 0; i < events->numEvents && i < kFakeMidiSize; ++i) {
            const auto* m = reinterpret_cast<const vst2::VstMidiEvent*>(slots[i]);
            f->midi.types[i] = m->type;
            f->midi.sizes[i] = m->byteSize;
            f->midi.deltas[i] = m->deltaFrames;
            std::memcpy(f->midi.bytes[i], m->midiData, 3);
        }
        f->call(vst2::audioMasterUpdateDisplay);
        return 1;
    }
    case vst2::effEditGetRect: {
        static vst2::ERect rect{0, 0, 200, 320};
        *static_cast<vst2::ERect**>(ptr) = &rect;
        return 1;
    }
    case vst2::effEditOpen:
        if (f->call(vst2::audioMasterCanDo, 0, 0, const_cast<char*>("sizeWindow")) == 1) {
            f->call(vst2::audioMasterSizeWindow, 320, 200);
        }
        return 1;
    case vst2::effEditIdle:
        // Asks the host for an idle from inside its own, with the guard real editors need (unless a
        // test dropped it).
        ++f->idles;
        if (!f->inIdle || !f->guardIdle) {
            f->inIdle = true;
            f->call(vst2::audioMasterIdle);
            f->inIdle = false;
        }
        return 0;
    case vst2::effGetEffectName:
        text(ptr, "Fake Effect");
        return 1;
    case vst2::effGetVendorString:
        text(ptr, "Vornhalt Tests");
        return 1;
    case vst2::effGetProductString:
        text(ptr, "Fake");
        return 0;
    case vst2::effGetVendorVersion:
        return 7;
    case vst2::effCanDo:
        return std::strcmp(static_cast<const char*>(ptr), "bypass") == 0 ? 1 : -1;
    case vst2::effVendorSpecific:
        return query(f, index, value, ptr, opt);
    default:
        return 0;
    }
}

// Output = input times (gain parameter); the time is asked once per block as an effect does.
void processReplacing(AEffect* e, float** in, float** out, int32 frames) {
    Fake* f = self(e);
    f->askTime();
    for (int32 c = 0; c < 2; ++c) {
        for (int32 i = 0; i < frames; ++i) {
            out[c][i] = in[c][i] * f->params[0];
        }
    }
}

void processAccumulating(AEffect* e, float** in, float** out, int32 frames) {
    Fake* f = self(e);
    f->askTime();
    for (int32 c = 0; c < 2; ++c) {
        for (int32 i = 0; i < frames; ++i) {
            out[c][i] += in[c][i] * f->params[0];
        }
    }
}

void setParameter(AEffect* e, int32 index, float value) {
    self(e)->params[index] = value;
}
float getParameter(AEffect* e, int32 index) {
    return self(e)->params[index];
}

AEffect* entry(vst2::HostCallback host) {
    if (host(nullptr, vst2::audioMasterVersion, 0, 0, nullptr, 0.0f) != 2400) {
        return nullptr;
    }
    if constexpr (FAKE_MAGIC != vst2::kEffectMagic) {
        // A host touches nothing in a record it does not recognise, so this one owns nothing.
        static AEffect stranger{};
        stranger.magic = FAKE_MAGIC;
        return &stranger;
    }
    Fake* f = new (std::nothrow) Fake;
    if (f == nullptr) {
        return nullptr;
    }
    f->host = host;
    AEffect& r = f->record;
    r.magic = vst2::kEffectMagic;
    r.dispatcher = dispatcher;
    r.process = processAccumulating;
    r.processReplacing = processReplacing;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.numPrograms = 1;
    r.numParams = kFakeParams;
    r.numInputs = 2;
    r.numOutputs = 2;
    r.flags = FAKE_FLAGS;
    r.object = f;
    r.uniqueID = vst2::fourCharacters('F', 'a', 'k', 'e');
    r.version = 1;
    f->params[0] = 1.0f;
    // With its own record, whose user field the host has not set yet.
    f->rateSeenDuringEntry = f->call(vst2::audioMasterGetSampleRate);
    return &r;
}

} // namespace

#ifdef FAKE_MAIN_ONLY
FAKE_EXPORT AEffect* fakeOldEntry(vst2::HostCallback host) __asm__("main");
FAKE_EXPORT AEffect* fakeOldEntry(vst2::HostCallback host) {
    return entry(host);
}
#else
FAKE_EXPORT AEffect* VSTPluginMain(vst2::HostCallback host) {
    return entry(host);
}
#endif

#endif
