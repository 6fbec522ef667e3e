#include "host/plugin_effect.h"

#include <cmath>
#include <cstring>

#include "host/factory_programs.h"

namespace {

// What the engine asks of the host's time record: song position, tempo, bar
// start and time signature, and whether the transport changed.
constexpr vst2::int32 kTimeRequest = vst2::kVstPpqPosValid | vst2::kVstTempoValid | vst2::kVstBarsValid |
                                     vst2::kVstTimeSigValid | vst2::kVstTransportChanged;
static_assert(kTimeRequest == 0x2E01);

bool writeText(char* destination, const char* text) {
    if (destination == nullptr) {
        return false;
    }
    std::strcpy(destination, text);
    return true;
}

} // namespace

PluginEffect::PluginEffect(vst2::HostCallback callback)
    : HostEffect(callback, kProgramCount, param::kCount), engine(values, engineValues, this) {
    for (int32& entry : controllerMap) {
        entry = -1;
    }
    programs = std::make_unique<ProgramRecord[]>(kProgramCount);
    for (int i = 0; i < kProgramCount; ++i) {
        makeFactoryProgram(i, programs[i]);
    }

    if (hostCallback != nullptr) {
        cEffect.numInputs = 2;
        cEffect.numOutputs = 2;
        cEffect.flags |= vst2::effFlagsCanReplacing;
        cEffect.uniqueID = kUniqueId;
    }
    cEffect.flags |= vst2::effFlagsProgramChunks;

    initEngine();

    curProgram = 0;
    for (int32 i = 0; i < param::kCount; ++i) {
        setParameter(i, programs[0].values[i]);
    }
}

PluginEffect::~PluginEffect() = default;

void PluginEffect::initEngine() {
    engine.initEngine();
}

void PluginEffect::processAudio(float** inputs, float** outputs, int32 sampleFrames, bool replacing) {
    engine.processAudio(inputs, outputs, sampleFrames, replacing);
}

void PluginEffect::process(float** inputs, float** outputs, int32 sampleFrames) {
    processAudio(inputs, outputs, sampleFrames, false);
}

void PluginEffect::processReplacing(float** inputs, float** outputs, int32 sampleFrames) {
    processAudio(inputs, outputs, sampleFrames, true);
}

void PluginEffect::setSampleRate(float rate) {
    // A rate that is not a positive number would poison every derived time. A
    // subnormal one, too: processing flushes subnormal operands to zero, so it
    // would read as 0 there.
    if (!std::isnormal(rate) || rate <= 0.0f) {
        return;
    }
    sampleRate = rate;
    engine.setSampleRate(rate);
    deriveRateDependentValues();
}

void PluginEffect::setBlockSize(int32 size) {
    blockSize = size;
}

PluginEffect::int32 PluginEffect::resume() {
    engine.resume();
    return 0;
}

bool PluginEffect::getEffectName(char* name) {
    return writeText(name, kEffectName);
}
bool PluginEffect::getVendorString(char* text) {
    return writeText(text, kVendorString);
}

bool PluginEffect::getProductString(char* text) {
    writeText(text, kEffectName);
    return false; // written, but reported as not supported
}

PluginEffect::int32 PluginEffect::canDo(const char* text) {
    if (text == nullptr) {
        return -1;
    }
    for (const char* can : {"receiveVstEvents", "receiveVstMidiEvent", "bypass"}) {
        if (std::strcmp(text, can) == 0) {
            return 1;
        }
    }
    return -1;
}

PluginEffect::int32 PluginEffect::getTailSize() {
    const double seconds = engine.tailSeconds();
    if (seconds <= 0.0) {
        return 1; // hosts read 1 as "no tail" (0 would ask them to guess)
    }
    return static_cast<int32>(std::ceil(seconds * static_cast<double>(engine.workingSampleRate)));
}

bool PluginEffect::setBypass(bool on) {
    engine.setBypass(on);
    return true;
}

bool PluginEffect::queryHostTime(HostTimeReport& report) {
    const vst2::VstTimeInfo* info = getTimeInfo(kTimeRequest);
    if (info == nullptr) {
        return false;
    }
    report.tempoValid = (info->flags & vst2::kVstTempoValid) != 0;
    report.tempo = info->tempo;
    report.positionValid = (info->flags & vst2::kVstPpqPosValid) != 0;
    report.ppqPosition = info->ppqPos;
    return true;
}
