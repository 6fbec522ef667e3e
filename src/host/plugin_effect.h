#pragma once

// The effect without its editor: the parameter table, the program bank, the
// host-time query and the engine with every signal component inline. One
// object of about 6 MB, allocated once when the host creates the effect.
//
// Threads: `processReplacing`/`process` [audio thread]; parameter, program and
// chunk operations [ui thread, or the audio thread for host automation]. No
// locks: the audio thread reads single floats and component settings that a
// parameter change writes whole.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "host/host_effect.h"
#include "host/program_record.h"

class PluginEffect : public HostEffect, public HostTimeSource {
public:
    static constexpr int32 kUniqueId = vst2::fourCharacters('V', 'R', 'H', 'T');
    static constexpr const char* kEffectName = "Vornhalt";
    static constexpr const char* kVendorString = "www.vornhalt.org";
    static constexpr int kMaxNameCharacters = 16;

    explicit PluginEffect(vst2::HostCallback callback);
    ~PluginEffect() override;

    // Parameters (see parameters.cpp)
    void setParameter(int32 index, float value) override;
    float getParameter(int32 index) override;
    void getParameterLabel(int32 index, char* label) override;
    void getParameterDisplay(int32 index, char* text) override;
    void getParameterName(int32 index, char* text) override;
    virtual float getDisplayValue(int32 index);
    float syncRound(float seconds, float gridValue) const { return engine.syncRound(seconds, gridValue); }
    int32 processEvents(vst2::VstEvents* events) override;

    // Programs and chunks (see programs.cpp)
    void setProgram(int32 program) override;
    void setProgramName(const char* name) override;
    void getProgramName(char* name) override;
    bool copyProgram(int32 destination) override;
    int32 getChunk(void** data, bool isPreset) override;
    int32 setChunk(void* data, int32 byteSize, bool isPreset) override;

    // Processing [audio thread]
    void process(float** inputs, float** outputs, int32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32 sampleFrames) override;
    virtual void initEngine();
    virtual void processAudio(float** inputs, float** outputs, int32 sampleFrames, bool replacing);

    // [ui thread]
    void setSampleRate(float rate) override;
    void setBlockSize(int32 size) override;
    void suspend() override {}
    int32 resume() override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32 getVendorVersion() override { return 1; }
    int32 canDo(const char* text) override;

    // [audio thread] Host time for the engine, through the host callback.
    bool queryHostTime(HostTimeReport& report) override;

    const ProgramRecord& program(int index) const { return programs[index]; }

    float values[param::kCount] = {};
    float engineValues[param::kCount] = {};
    std::map<int32, std::string> parameterNames;
    std::vector<float> syncDivisions;
    int32 controllerMap[128];
    std::unique_ptr<ProgramRecord[]> programs;
    Engine engine;

protected:
    void designFeedbackFilters();
    ProgramRecord& currentRecord() { return programs[curProgram]; }
};
