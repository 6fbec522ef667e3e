#pragma once

// The host layer: turns the VST 2 record, dispatcher opcodes and host callback
// into calls of the effect's virtual operations, and wraps the few host
// services the effect uses. Its own versions of the effect's operations are
// neutral (store nothing, answer 0 or the empty text).
//
// Threads: the host calls `processReplacing`/`process` on its audio thread,
// parameter changes and effProcessEvents on either thread (many send
// automation and MIDI on the audio thread), and everything else on its
// user-interface thread; nothing here takes a lock.

#include <cstdint>

#include "common/vst2.h"
#include "host/host_editor.h"

class HostEffect {
public:
    using int32 = std::int32_t;
    using intptr = std::intptr_t;

    HostEffect(vst2::HostCallback callback, int32 numPrograms, int32 numParams);
    virtual ~HostEffect();
    HostEffect(const HostEffect&) = delete;
    HostEffect& operator=(const HostEffect&) = delete;

    vst2::AEffect* getAeffect() { return &cEffect; }

    // Parameters [any thread]
    virtual void setParameter(int32 index, float value);
    virtual float getParameter(int32 index);
    virtual void setParameterAutomated(int32 index, float value);

    // Processing [audio thread]
    virtual void process(float** inputs, float** outputs, int32 sampleFrames);
    virtual void processReplacing(float** inputs, float** outputs, int32 sampleFrames);

    // [ui thread; effProcessEvents from any thread, the audio thread included]
    virtual intptr dispatcher(int32 opcode, int32 index, intptr value, void* ptr, float opt);
    virtual void open() {}
    virtual void close() {}

    virtual int32 getProgram() { return curProgram; }
    virtual void setProgram(int32 program) { curProgram = program; }
    virtual void setProgramName(const char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(int32 index, char* label);
    virtual void getParameterDisplay(int32 index, char* text);
    virtual void getParameterName(int32 index, char* text);
    virtual float getVu() { return 0.0f; }
    virtual int32 getChunk(void** data, bool isPreset);
    virtual int32 setChunk(void* data, int32 byteSize, bool isPreset);
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32 size) { blockSize = size; }
    virtual void suspend() {}
    virtual int32 resume() { return 0; }

    // [any thread]
    virtual int32 processEvents(vst2::VstEvents* events);
    virtual bool copyProgram(int32 destination);
    virtual bool getEffectName(char* name);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual int32 getVendorVersion() { return 0; }
    virtual int32 canDo(const char* text);
    virtual bool keysRequired() { return false; }
    // A parameter set from text a host's user typed; with no text, whether
    // the parameter takes text at all.
    virtual bool string2Parameter(int32 /*index*/, const char* /*text*/) { return false; }
    // A program's name by index, into a buffer of 24 bytes.
    virtual bool getProgramNameIndexed(int32 /*category*/, int32 /*index*/, char* /*text*/) { return false; }
    virtual int32 getPlugCategory() { return 0; }
    // Samples of output after the input goes silent: 0 unknown, 1 none.
    virtual int32 getTailSize() { return 0; }
    // [any thread] A soft bypass of the effect's own; false when it has none.
    virtual bool setBypass(bool /*on*/) { return false; }

    // Host calls.
    const vst2::VstTimeInfo* getTimeInfo(int32 mask);
    bool beginEdit(int32 index);
    bool endEdit(int32 index);
    bool updateDisplay();
    bool sizeWindow(int32 width, int32 height);
    bool canHostDo(const char* text);
    intptr callHost(int32 opcode, int32 index, intptr value, void* ptr, float opt);

    void setEditor(HostEditor* newEditor) { editor = newEditor; }
    HostEditor* getEditor() const { return editor; }

    float getSampleRate() const { return sampleRate; }
    int32 getBlockSize() const { return blockSize; }

protected:
    // The interface version this effect is written for, and the scale of the VU answer.
    static constexpr intptr kVstVersion = 2300;
    static constexpr float kVuScale = 32767.0f;

    float sampleRate = 44100.0f;
    HostEditor* editor = nullptr; // owned: destroyed with the host layer
    vst2::HostCallback hostCallback;
    int32 numPrograms;
    int32 numParams;
    int32 curProgram = 0;
    int32 blockSize = 1024;
    vst2::AEffect cEffect{};

private:
    intptr dispatchState(int32 opcode, int32 index, intptr value, void* ptr, float opt);
    intptr dispatchEditor(int32 opcode, int32 index, intptr value, void* ptr, float opt);
    intptr dispatchOther(int32 opcode, int32 index, intptr value, void* ptr, float opt);
};
