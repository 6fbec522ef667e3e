#pragma once

// The effect without its editor: the parameter table, the program bank, the
// host-time query and the engine with every signal component inline. About
// 3 MB in one object, plus the delay rings and the block collector, which are
// sized to the rate (3 MB more at 44.1 kHz, 14 MB at 192 kHz).
//
// Threads: `processReplacing`/`process` [audio thread]. Parameter changes and
// MIDI events [any thread]: hosts send automation and events on the audio
// thread as often as on the UI thread, so neither path takes a lock, waits or
// allocates. Program and chunk operations [ui thread]. No locks anywhere: the
// audio thread reads single numbers and component settings that a parameter
// change writes whole, and the one multi-number setting (a filter design)
// travels through a protocol that never waits.

#include <memory>

#include "common/parameter_text.h"
#include "common/program_record.h"
#include "engine/engine.h"
#include "host/host_effect.h"

class PluginEffect : public HostEffect, public HostTimeSource {
public:
    static constexpr int32 kUniqueId = vst2::fourCharacters('V', 'R', 'H', 'T');
    static constexpr const char* kEffectName = "Vornhalt";
    static constexpr const char* kVendorString = "www.vornhalt.org";
    static constexpr int kMaxNameCharacters = 16;

    explicit PluginEffect(vst2::HostCallback callback);
    ~PluginEffect() override;

    // Parameters (see parameters.cpp)
    // [any thread; never waits or allocates]
    void setParameter(int32 index, float value) override;
    float getParameter(int32 index) override;
    // [ui thread] The value's text as the editor shows it, and its unit apart
    // (at most kMaxNameCharacters each).
    void getParameterLabel(int32 index, char* label) override;
    void getParameterDisplay(int32 index, char* text) override;
    void getParameterName(int32 index, char* text) override;
    // [ui thread] What getParameterDisplay writes (or with another unit) back to a value.
    bool string2Parameter(int32 index, const char* text) override;
    virtual float getDisplayValue(int32 index);
    float syncRound(float seconds, float gridValue) const { return engine.syncRound(seconds, gridValue); }
    // [audio thread, or any thread; never waits or allocates] MIDI controllers.
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

    // [ui thread, while processing is suspended, as hosts call it; allocates
    // when the rate needs larger buffers] Every component runs at the rate
    // from now on, and every value derived from it is derived again.
    void setSampleRate(float rate) override;
    void setBlockSize(int32 size) override;
    void suspend() override {}
    int32 resume() override;

    // [ui thread]
    bool getProgramNameIndexed(int32 category, int32 index, char* text) override;
    int32 getPlugCategory() override { return vst2::kPlugCategoryEffect; }
    // [ui thread] The feedback delay's longest audible tail, in samples.
    int32 getTailSize() override;
    // [any thread] A short crossfade to the dry input and back; the engine keeps running.
    bool setBypass(bool on) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32 getVendorVersion() override { return 1; }
    int32 canDo(const char* text) override;

    // [audio thread] Host time for the engine, through the host callback.
    bool queryHostTime(HostTimeReport& report) override;

    const ProgramRecord& program(int index) const { return programs[index]; }

    // [any thread writes, through setParameter] The parameter block: what the
    // host reads back and the values the engine derives from it.
    SharedFloat values[param::kCount] = {};
    SharedFloat engineValues[param::kCount] = {};
    int32 controllerMap[128];
    std::unique_ptr<ProgramRecord[]> programs;
    Engine engine;

protected:
    // The engine values that depend on the sample rate, derived again after a change.
    void deriveRateDependentValues();
    // What the text of parameter `index` depends on, as things stand.
    param::TextContext textContext(int32 index);
    // The parameter's value text (or, with `unit`, its unit) cut to a host's name length.
    void copyParameterText(int32 index, char* destination, bool unit);
    ProgramRecord& currentRecord() { return programs[curProgram]; }
};
