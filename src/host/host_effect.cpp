#include "host/host_effect.h"

#include <climits>
#include <cstring>

namespace {

HostEffect* effectOf(vst2::AEffect* record) {
    return record != nullptr ? static_cast<HostEffect*>(record->object) : nullptr;
}

std::intptr_t dispatchEntry(vst2::AEffect* record, std::int32_t opcode, std::int32_t index,
                            std::intptr_t value, void* ptr, float opt) {
    HostEffect* effect = effectOf(record);
    if (effect == nullptr) {
        return 0;
    }
    if (opcode == vst2::effClose) {
        // The record and the object are gone when this returns 1.
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void processEntry(vst2::AEffect* record, float** inputs, float** outputs, std::int32_t sampleFrames) {
    if (HostEffect* effect = effectOf(record)) {
        effect->process(inputs, outputs, sampleFrames);
    }
}

void processReplacingEntry(vst2::AEffect* record, float** inputs, float** outputs,
                           std::int32_t sampleFrames) {
    if (HostEffect* effect = effectOf(record)) {
        effect->processReplacing(inputs, outputs, sampleFrames);
    }
}

void setParameterEntry(vst2::AEffect* record, std::int32_t index, float value) {
    if (HostEffect* effect = effectOf(record)) {
        effect->setParameter(index, value);
    }
}

float getParameterEntry(vst2::AEffect* record, std::int32_t index) {
    HostEffect* effect = effectOf(record);
    return effect != nullptr ? effect->getParameter(index) : 0.0f;
}

// The key modifiers travel in opt: trunc(opt) as a byte. A value no int holds
// (or not a number) would make the conversion undefined; it gives no modifiers.
unsigned char modifierByte(float opt) {
    if (!(opt > -2147483648.0f && opt < 2147483648.0f)) {
        return 0;
    }
    return static_cast<unsigned char>(static_cast<int>(opt));
}

void writeText(char* destination, const char* text) {
    if (destination != nullptr) {
        std::strcpy(destination, text);
    }
}

} // namespace

HostEffect::HostEffect(vst2::HostCallback callback, int32 programs, int32 params)
    : hostCallback(callback), numPrograms(programs), numParams(params) {
    cEffect.magic = vst2::kEffectMagic;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.processReplacing = processReplacingEntry;
    cEffect.numPrograms = programs;
    cEffect.numParams = params;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.version = 1;
}

HostEffect::~HostEffect() {
    delete editor;
    editor = nullptr;
}

void HostEffect::setParameter(int32, float) {}
float HostEffect::getParameter(int32) {
    return 0.0f;
}

void HostEffect::setParameterAutomated(int32 index, float value) {
    setParameter(index, value);
    callHost(vst2::audioMasterAutomate, index, 0, nullptr, value);
}

void HostEffect::process(float**, float**, int32) {}
void HostEffect::processReplacing(float**, float**, int32) {}
void HostEffect::setProgramName(const char*) {}
void HostEffect::getProgramName(char* name) {
    writeText(name, "");
}
void HostEffect::getParameterLabel(int32, char* label) {
    writeText(label, "");
}
void HostEffect::getParameterDisplay(int32, char* text) {
    writeText(text, "");
}
void HostEffect::getParameterName(int32, char* text) {
    writeText(text, "");
}
HostEffect::int32 HostEffect::getChunk(void**, bool) {
    return 0;
}
HostEffect::int32 HostEffect::setChunk(void*, int32, bool) {
    return 0;
}
HostEffect::int32 HostEffect::processEvents(vst2::VstEvents*) {
    return 0;
}
bool HostEffect::copyProgram(int32) {
    return false;
}
bool HostEffect::getEffectName(char*) {
    return false;
}
bool HostEffect::getVendorString(char*) {
    return false;
}
bool HostEffect::getProductString(char*) {
    return false;
}
HostEffect::int32 HostEffect::canDo(const char*) {
    return 0;
}

// One switch per group of opcodes: set-up, programs, parameters and chunks;
// the editor; events, identity and the rest. Every opcode not named answers 0.
HostEffect::intptr HostEffect::dispatcher(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    using namespace vst2;
    switch (opcode) {
    case effEditGetRect:
    case effEditOpen:
    case effEditClose:
    case effEditIdle:
    case effEditKeyDown:
    case effEditKeyUp:
    case effSetEditKnobMode:
        return dispatchEditor(opcode, index, value, ptr, opt);
    default:
        return opcode <= effSetChunk ? dispatchState(opcode, index, value, ptr, opt)
                                     : dispatchOther(opcode, index, value, ptr, opt);
    }
}

HostEffect::intptr HostEffect::dispatchState(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    using namespace vst2;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        if (value < numPrograms) {
            setProgram(static_cast<int32>(value < INT_MIN ? INT_MIN : value));
        }
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(text);
        return 0;
    case effGetProgramName:
        getProgramName(text);
        return 0;
    case effGetParamLabel:
        getParameterLabel(index, text);
        return 0;
    case effGetParamDisplay:
        getParameterDisplay(index, text);
        return 0;
    case effGetParamName:
        getParameterName(index, text);
        return 0;
    case effGetVu:
        return static_cast<intptr>(getVu() * kVuScale);
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<int32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0) {
            suspend();
        } else {
            resume();
        }
        return 0;
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        return ptr != nullptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        if (value < 0 || value > INT_MAX) {
            return 0;
        }
        return setChunk(ptr, static_cast<int32>(value), index != 0);
    default:
        return 0;
    }
}

HostEffect::intptr HostEffect::dispatchEditor(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    using namespace vst2;
    if (editor == nullptr) {
        return 0;
    }
    switch (opcode) {
    case effEditGetRect:
        return ptr != nullptr ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
        // value: the host's display connection, from X11 hosts.
        return editor->open(ptr, reinterpret_cast<void*>(value)) ? 1 : 0;
    case effEditClose:
        editor->close();
        return 0;
    case effEditIdle:
        editor->idle();
        return 0;
    case effEditKeyDown:
    case effEditKeyUp: {
        VstKeyCode key{index, static_cast<unsigned char>(value), modifierByte(opt)};
        return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
    }
    case effSetEditKnobMode:
        return editor->setKnobMode(static_cast<int32>(value));
    default:
        return 0;
    }
}

HostEffect::intptr HostEffect::dispatchOther(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    using namespace vst2;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effString2Parameter:
        return string2Parameter(index, text) ? 1 : 0;
    case effGetProgramNameIndexed:
        return ptr != nullptr && getProgramNameIndexed(static_cast<int32>(value), index, text) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetTailSize:
        return getTailSize();
    case effCanBeAutomated:
    case effGetNumProgramCategories:
    case effConnectInput:
    case effConnectOutput:
        return 1;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSize(static_cast<int32>(value));
        setSampleRate(opt);
        return 1;
    case effGetEffectName:
        return getEffectName(text) ? 1 : 0;
    case effGetVendorString:
        return getVendorString(text) ? 1 : 0;
    case effGetProductString:
        return getProductString(text) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effCanDo:
        return canDo(text);
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return kVstVersion;
    case effGetCurrentMidiProgram:
        return -1;
    case effGetSpeakerArrangement:
        if (value != 0) {
            *reinterpret_cast<void**>(value) = nullptr;
        }
        if (ptr != nullptr) {
            *static_cast<void**>(ptr) = nullptr;
        }
        return 0;
    case effSetTotalSampleToProcess:
        return value;
    default:
        return 0;
    }
}

HostEffect::intptr HostEffect::callHost(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    if (hostCallback == nullptr) {
        return 0;
    }
    return hostCallback(&cEffect, opcode, index, value, ptr, opt);
}

const vst2::VstTimeInfo* HostEffect::getTimeInfo(int32 mask) {
    return reinterpret_cast<const vst2::VstTimeInfo*>(
        callHost(vst2::audioMasterGetTime, 0, mask, nullptr, 0.0f));
}

bool HostEffect::beginEdit(int32 index) {
    return callHost(vst2::audioMasterBeginEdit, index, 0, nullptr, 0.0f) != 0;
}
bool HostEffect::endEdit(int32 index) {
    return callHost(vst2::audioMasterEndEdit, index, 0, nullptr, 0.0f) != 0;
}
bool HostEffect::updateDisplay() {
    return callHost(vst2::audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f) != 0;
}

bool HostEffect::sizeWindow(int32 width, int32 height) {
    return callHost(vst2::audioMasterSizeWindow, width, height, nullptr, 0.0f) != 0;
}

bool HostEffect::canHostDo(const char* text) {
    return callHost(vst2::audioMasterCanDo, 0, 0, const_cast<char*>(text), 0.0f) == 1;
}
