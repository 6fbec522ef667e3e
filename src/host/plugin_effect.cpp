#include "host/plugin_effect.h"

#include <cmath>
#include <cstring>

namespace {

// Host names of the parameters; indices without an entry have no name.
const std::pair<int, const char*> kParameterNames[] = {
    {1, "Block Size"},     {2, "# Stages"},
    {3, "Smoothing"},      {4, "A Warp"},
    {5, "A Res"},          {9, "Saturation"},
    {10, "Decimation"},    {11, "Buffer Rate"},
    {13, "S Warp"},        {15, "S Res"},
    {16, "Delay"},         {17, "Feedback"},
    {18, "Filter Type"},   {19, "Cutoff"},
    {20, "Resonance"},     {21, "Delay Sync"},
    {23, "Env. Attack"},   {24, "Env. Release"},
    {25, "LFO 1 Shape"},   {26, "LFO 1 Sync"},
    {27, "LFO 1 Freq"},    {29, "LFO 1 Stereo"},
    {30, "LFO 2 Shape"},   {31, "LFO 2 Sync"},
    {32, "LFO 2 Freq"},    {34, "LFO 2 Stereo"},
    {35, "Env->S Warp"},   {36, "Env->S Res"},
    {37, "Env->Dec."},     {38, "Env->BufRate"},
    {39, "Env->A Warp"},   {40, "Env->Fb Cutoff"},
    {41, "LFO 1->S Warp"}, {42, "LFO 1->S Res"},
    {43, "LFO 1->Dec."},   {44, "LFO 1->BufRate"},
    {45, "LFO 1->A Warp"}, {46, "LFO 1->Fb Cutoff"},
    {47, "LFO 2->S Warp"}, {48, "LFO 2->S Res"},
    {49, "LFO 2->Dec."},   {50, "LFO 2->BufRate"},
    {51, "LFO 2->A Warp"}, {52, "LFO 2->Fb Cutoff"},
    {53, "Out"},           {54, "Mix"},
};

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
        makeDefaultProgram(programs[i]);
    }

    if (hostCallback != nullptr) {
        cEffect.numInputs = 2;
        cEffect.numOutputs = 2;
        cEffect.flags |= vst2::effFlagsCanReplacing;
        cEffect.uniqueID = kUniqueId;
    }
    cEffect.flags |= vst2::effFlagsProgramChunks;

    for (const auto& [index, name] : kParameterNames) {
        parameterNames[index] = name;
    }
    syncDivisions.assign(param::kSyncDivisions.begin(), param::kSyncDivisions.end());

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
    return std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0 ? 1
                                                                                                       : -1;
}

bool PluginEffect::queryHostTime(HostTimeReport& report) {
    const vst2::VstTimeInfo* info = getTimeInfo(0x2E01);
    if (info == nullptr) {
        return false;
    }
    report.tempoValid = (info->flags & vst2::kVstTempoValid) != 0;
    report.tempo = info->tempo;
    report.positionValid = (info->flags & vst2::kVstPpqPosValid) != 0;
    report.ppqPosition = info->ppqPos;
    return true;
}
