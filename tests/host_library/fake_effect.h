#pragma once

// What the stand-in plug-in (fake_effect.cpp) and the tests share: the effVendorSpecific queries
// through which the fake reports what it saw of its host, and the records it reports them in.

#include "common/vst2.h"

constexpr int kFakeParams = 2;
constexpr int kFakeChunkSize = 8;
constexpr int kFakeLogSize = 32;
constexpr int kFakeMidiSize = 8;
// The mask an effect asks the time with: song position, tempo, bars, time signature, changed.
constexpr vst2::intptr kFakeTimeMask = 0x2E01;

// effVendorSpecific index values.
enum FakeQuery : vst2::int32 {
    kFakeQueryRateSeenDuringEntry = 1, // returns what audioMasterGetSampleRate answered in the entry
    kFakeQueryLog,                     // ptr: FakeOpcodeLog of this instance's dispatcher calls
    kFakeQueryLastClosed,              // ptr: FakeOpcodeLog of the last instance that was closed
    kFakeQueryTime,                    // ptr: VstTimeInfo of the last block; returns 0 if it got none
    kFakeQueryMidi,                    // ptr: FakeMidiLog of the last effProcessEvents
    kFakeQueryIdles,                   // returns the effEditIdle count
    kFakeQueryGesture,                 // value: parameter, opt: value; an editor drag of one control
    kFakeQueryHostCanDo,               // ptr: text; returns the host's audioMasterCanDo answer
    kFakeQueryDropIdleGuard,           // from now on, effEditIdle asks for an idle even when nested
};

struct FakeOpcodeLog {
    int count;
    vst2::int32 opcodes[kFakeLogSize];
    vst2::int32 values[kFakeLogSize]; // value, or the sample rate for effSetSampleRate
};

struct FakeMidiLog {
    int count;
    vst2::int32 types[kFakeMidiSize];
    vst2::int32 sizes[kFakeMidiSize];
    vst2::int32 deltas[kFakeMidiSize];
    char bytes[kFakeMidiSize][3];
};
