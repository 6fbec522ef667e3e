#pragma once

// A small VST 2 host: loads a plug-in shared object the way Linux hosts do (dlopen, look up the
// entry, check the record), drives it through its record and answers its callback. Tests use it to
// run a plug-in as a host would; the command-line renderer will use it to render files. It knows
// the plug-in only through the binary interface and never links against plug-in code.
//
// Threads: one thread loads, drives and destroys a host. The plug-in may call back from any thread
// (audio or editor); the event log is guarded by a mutex, the time record is read and advanced by
// the thread that calls the process functions.

#include "common/vst2.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vhost {

using vst2::int32;
using vst2::intptr;

// What the plug-in told the host through its callback, in the order it happened.
enum class HostEventKind { Automate, BeginEdit, EndEdit, UpdateDisplay, SizeWindow, IdleRecursion };

// Automate: index = parameter, value = new value. BeginEdit/EndEdit: index = parameter.
// UpdateDisplay: nothing. SizeWindow: index = width, value = height. IdleRecursion: the plug-in kept
// asking for an idle from inside its own idle (index = depth reached); a real host would recurse on.
struct HostEvent {
    HostEventKind kind;
    int32 index;
    double value;
};

// A text the plug-in wrote together with the code its dispatcher returned.
struct TextResult {
    std::string text;
    intptr result;
};

// One short MIDI message delivered at a frame of the next block.
struct MidiMessage {
    int32 deltaFrames;
    std::uint8_t bytes[3];
};

MidiMessage controlChange(int channel, int controller, int value, int32 deltaFrames = 0);

// The transport the host reports; the sample position advances with every processed block.
struct Transport {
    static constexpr int32 kDefaultFlags = vst2::kVstTransportChanged | vst2::kVstTransportPlaying |
                                           vst2::kVstPpqPosValid | vst2::kVstTempoValid |
                                           vst2::kVstBarsValid | vst2::kVstTimeSigValid;
    double tempo = 120.0;
    double startBeat = 0.0; // song position (quarter notes) at sample position 0
    int32 timeSigNumerator = 4;
    int32 timeSigDenominator = 4;
    int32 flags = kDefaultFlags;
    bool available = true; // false: audioMasterGetTime answers with no record at all
};

class PluginHost {
public:
    static constexpr int32 kHostVersion = 2400;
    static constexpr std::size_t kTextBufferSize = 256;

    PluginHost();
    ~PluginHost();
    // The plug-in keeps a pointer to its host in the record: a host never moves.
    PluginHost(const PluginHost&) = delete;
    PluginHost& operator=(const PluginHost&) = delete;

    // Loads and instantiates the plug-in; false with error() telling why. A loaded plug-in is
    // unloaded first.
    bool load(const std::string& path);
    // Suspends (if resumed) and closes the effect, then releases the shared object.
    void unload();
    bool loaded() const { return effect_ != nullptr; }
    const std::string& error() const { return error_; }
    vst2::AEffect* effect() const { return effect_; }
    const std::string& path() const { return path_; }

    intptr dispatch(int32 opcode, int32 index = 0, intptr value = 0, void* ptr = nullptr, float opt = 0.0f);

    // The set-up order of Linux hosts: effOpen, sample rate, block size, canDo "bypass" (and on any
    // non-zero answer effSetBypass 0), then effMainsChanged 0 and 1.
    void open(double sampleRate = 44100.0, int32 blockSize = 512);
    void setSampleRate(double sampleRate);
    void setBlockSize(int32 blockSize);
    void resume();
    void suspend();
    bool resumed() const { return resumed_; }
    double sampleRate() const { return sampleRate_; }
    int32 blockSize() const { return blockSize_; }

    float getParameter(int32 index) const;
    void setParameter(int32 index, float value);
    std::string parameterName(int32 index);
    std::string parameterLabel(int32 index);
    std::string parameterDisplay(int32 index);

    TextResult effectName();
    TextResult vendorString();
    TextResult productString();
    intptr vendorVersion();
    intptr canDo(const std::string& text);

    int32 program();
    void setProgram(int32 index);
    std::string programName();
    void setProgramName(const std::string& name);

    // effGetChunk with index 0 (bank) or 1 (preset); empty when the plug-in hands out nothing.
    std::vector<std::uint8_t> getChunk(bool isPreset);
    intptr setChunk(const std::vector<std::uint8_t>& bytes, bool isPreset);

    // Stereo helpers: channels past the second are fed silence and their output is discarded.
    void processReplacing(const float* inL, const float* inR, float* outL, float* outR, int32 frames);
    // The accumulating call adds to the outputs; false when the plug-in has none.
    bool process(const float* inL, const float* inR, float* outL, float* outR, int32 frames);
    // Raw forms with numInputs / numOutputs channel pointers.
    void processReplacing(float** inputs, float** outputs, int32 frames);
    bool process(float** inputs, float** outputs, int32 frames);
    // The events go in the order given (hosts send them sorted by frame; plug-ins may drop events that
    // run backwards) and stay valid until the next call, as plug-ins may keep them until the next block.
    intptr processEvents(const std::vector<MidiMessage>& messages);

    // Editor pass-throughs. openEditor hands over the parent window id (and, as Linux hosts do, the
    // X11 display pointer in value).
    bool editorRect(vst2::ERect& rect);
    intptr openEditor(unsigned long windowId, void* display = nullptr);
    void idleEditor();
    void closeEditor();
    bool editorOpen() const { return editorOpen_; }

    // Time. The record is rebuilt on each audioMasterGetTime from the transport and position.
    Transport& transport() { return transport_; }
    double samplePosition() const { return samplePos_; }
    void setSamplePosition(double position) { samplePos_ = position; }
    const vst2::VstTimeInfo& timeInfo();
    int timeRequests() const;
    intptr lastTimeMask() const;

    // The callback log.
    std::vector<HostEvent> events() const;
    void clearEvents();

    // The callback every plug-in of this library receives.
    static intptr callback(vst2::AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr,
                           float opt);

private:
    intptr answer(int32 opcode, int32 index, intptr value, void* ptr, float opt);
    void record(HostEventKind kind, int32 index, double value);
    TextResult text(int32 opcode, int32 index = 0);
    void prepareChannels(int32 frames);
    void stereoArrays(const float* inL, const float* inR, float* outL, float* outR, int32 frames);
    void advance(int32 frames) { samplePos_ += frames; }

    void* library_ = nullptr;
    vst2::AEffect* effect_ = nullptr;
    std::string path_;
    std::string error_;
    bool resumed_ = false;
    bool editorOpen_ = false;
    int idleDepth_ = 0;
    double sampleRate_ = 44100.0;
    int32 blockSize_ = 512;

    Transport transport_;
    double samplePos_ = 0.0;
    vst2::VstTimeInfo timeInfo_{};
    std::atomic<int> timeRequests_{0};
    std::atomic<intptr> lastTimeMask_{0};

    // Channel pointer arrays and the silent / discarded buffers behind the extra channels.
    std::vector<float*> inputPtrs_;
    std::vector<float*> outputPtrs_;
    std::vector<float> silence_;
    std::vector<float> discard_;

    std::vector<vst2::VstMidiEvent> midiEvents_;
    std::vector<std::uintptr_t> eventsBlock_; // a VstEvents with as many pointer slots as needed

    mutable std::mutex logMutex_;
    std::vector<HostEvent> log_;
};

} // namespace vhost
