#pragma once

// Our own declarations of the VST 2 binary interface: the record a host
// receives, the callback it supplies, the time record, events and the opcode
// numbers. Written from the published facts of the interface; layouts are
// checked at compile time because hosts compiled elsewhere rely on them.

#include <cstddef>
#include <cstdint>

namespace vst2 {

using int32 = std::int32_t;
using intptr = std::intptr_t;

struct AEffect;

using HostCallback = intptr (*)(AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr,
                                float opt);
using DispatcherProc = intptr (*)(AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr,
                                  float opt);
using ProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs, int32 sampleFrames);
using ProcessDoubleProc = void (*)(AEffect* effect, double** inputs, double** outputs, int32 sampleFrames);
using SetParameterProc = void (*)(AEffect* effect, int32 index, float value);
using GetParameterProc = float (*)(AEffect* effect, int32 index);
using EntryProc = AEffect* (*)(HostCallback callback);

constexpr int32 fourCharacters(char a, char b, char c, char d) {
    return static_cast<int32>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                              (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                              static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr int32 kEffectMagic = fourCharacters('V', 's', 't', 'P');
// effGetPlugCategory: what kind of plug-in this is (0 is "unknown").
constexpr int32 kPlugCategoryEffect = 1;

constexpr int32 kIdentifyAnswer = fourCharacters('N', 'v', 'E', 'f');

struct AEffect {
    int32 magic;
    DispatcherProc dispatcher;
    ProcessProc process;
    SetParameterProc setParameter;
    GetParameterProc getParameter;
    int32 numPrograms;
    int32 numParams;
    int32 numInputs;
    int32 numOutputs;
    int32 flags;
    intptr reserved1;
    intptr reserved2;
    int32 initialDelay;
    int32 realQualities;
    int32 offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32 uniqueID;
    int32 version;
    ProcessProc processReplacing;
    ProcessDoubleProc processDoubleReplacing;
    char future[56];
};

// Hosts were compiled against this exact layout, natural alignment on the
// 64-bit (x86-64 Linux and Windows) and 32-bit (i686 Windows) targets alike.
constexpr bool kPointers64 = sizeof(void*) == 8;
static_assert(kPointers64 || sizeof(void*) == 4);
static_assert(offsetof(AEffect, dispatcher) == (kPointers64 ? 8 : 4));
static_assert(offsetof(AEffect, numPrograms) == (kPointers64 ? 40 : 20));
static_assert(offsetof(AEffect, flags) == (kPointers64 ? 56 : 36));
static_assert(offsetof(AEffect, reserved1) == (kPointers64 ? 64 : 40));
static_assert(offsetof(AEffect, initialDelay) == (kPointers64 ? 80 : 48));
static_assert(offsetof(AEffect, ioRatio) == (kPointers64 ? 92 : 60));
static_assert(offsetof(AEffect, object) == (kPointers64 ? 96 : 64));
static_assert(offsetof(AEffect, uniqueID) == (kPointers64 ? 112 : 72));
static_assert(offsetof(AEffect, processReplacing) == (kPointers64 ? 120 : 80));
static_assert(offsetof(AEffect, future) == (kPointers64 ? 136 : 88));
static_assert(sizeof(AEffect) == (kPointers64 ? 192 : 144));

enum EffectFlags : int32 {
    effFlagsHasEditor = 1,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsCanDoubleReplacing = 1 << 12,
};

enum DispatcherOpcode : int32 {
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents,
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram,
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory,
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun,
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName,
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific,
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition,
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp,
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged,
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin,
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank,
    effBeginLoadProgram,
};
static_assert(effGetVstVersion == 58 && effBeginLoadProgram == 76);

enum HostOpcode : int32 {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterCanDo = 37,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
};

struct VstTimeInfo {
    double samplePos;
    double sampleRate;
    double nanoSeconds;
    double ppqPos;
    double tempo;
    double barStartPos;
    double cycleStartPos;
    double cycleEndPos;
    int32 timeSigNumerator;
    int32 timeSigDenominator;
    int32 smpteOffset;
    int32 smpteFrameRate;
    int32 samplesToNextClock;
    int32 flags;
};
static_assert(sizeof(VstTimeInfo) == 88);

enum TimeInfoFlags : int32 {
    kVstTransportChanged = 1,
    kVstTransportPlaying = 1 << 1,
    kVstTransportCycleActive = 1 << 2,
    kVstTransportRecording = 1 << 3,
    kVstNanosValid = 1 << 8,
    kVstPpqPosValid = 1 << 9,
    kVstTempoValid = 1 << 10,
    kVstBarsValid = 1 << 11,
    kVstCyclePosValid = 1 << 12,
    kVstTimeSigValid = 1 << 13,
    kVstSmpteValid = 1 << 14,
    kVstClockValid = 1 << 15,
};

struct VstEvent {
    int32 type;
    int32 byteSize;
    int32 deltaFrames;
    int32 flags;
    char data[16];
};

struct VstMidiEvent {
    int32 type;
    int32 byteSize;
    int32 deltaFrames;
    int32 flags;
    int32 noteLength;
    int32 noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};
static_assert(sizeof(VstMidiEvent) == 32);

constexpr int32 kVstMidiType = 1;

struct VstEvents {
    int32 numEvents;
    intptr reserved;
    VstEvent* events[2]; // the host allocates as many entries as it needs
};
static_assert(offsetof(VstEvents, events) == (kPointers64 ? 16 : 8));

struct ERect {
    std::int16_t top;
    std::int16_t left;
    std::int16_t bottom;
    std::int16_t right;
};

struct VstKeyCode {
    int32 character;
    unsigned char virt;
    unsigned char modifier;
};

} // namespace vst2
