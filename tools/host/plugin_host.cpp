#include "host/plugin_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace vhost {

namespace {

// The host whose plug-in entry is running on this thread. During the entry call the record's user
// field is not ours yet (or the plug-in passes no record at all), so the callback finds its host
// here; afterwards it finds it through the record.
thread_local PluginHost* tLoading = nullptr;

// A plug-in that asks for an idle from inside its idle would recurse without end on a real host;
// this host stops after a few levels and logs it so that a test can tell.
constexpr int kMaxIdleDepth = 4;

constexpr const char* kHostVendor = "Vornhalt";
constexpr const char* kHostProduct = "Vornhalt host";

// Host capabilities answered with 1; any other text gets 0, as Linux hosts do.
constexpr const char* kHostCanDo[] = {"sizeWindow", "sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                      "supplyIdle"};

// Writes a host text into a plug-in buffer; the interface's host strings are at most 64 bytes.
void copyHostText(void* ptr, const char* text) {
    if (ptr != nullptr) {
        std::snprintf(static_cast<char*>(ptr), 64, "%s", text);
    }
}

} // namespace

MidiMessage controlChange(int channel, int controller, int value, int32 deltaFrames) {
    MidiMessage m{};
    m.deltaFrames = deltaFrames;
    m.bytes[0] = static_cast<std::uint8_t>(0xB0 | (channel & 0x0F));
    m.bytes[1] = static_cast<std::uint8_t>(controller & 0x7F);
    m.bytes[2] = static_cast<std::uint8_t>(value & 0x7F);
    return m;
}

PluginHost::PluginHost() = default;

PluginHost::~PluginHost() {
    unload();
}

bool PluginHost::load(const std::string& path) {
    unload();
    error_.clear();
    path_ = path;
    samplePos_ = 0.0;
    timeRequests_ = 0;
    lastTimeMask_ = 0;
    clearEvents();

    dlerror();
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* reason = dlerror();
        error_ = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown dlopen failure");
        return false;
    }

    vst2::EntryProc entry = nullptr;
    for (const char* name : {"VSTPluginMain", "main"}) {
        if (void* symbol = dlsym(library, name)) {
            entry = reinterpret_cast<vst2::EntryProc>(symbol);
            break;
        }
    }
    if (entry == nullptr) {
        dlclose(library);
        error_ = "no VST entry in " + path + ": it exports neither VSTPluginMain nor main";
        return false;
    }

    PluginHost* const outer = tLoading;
    tLoading = this;
    vst2::AEffect* const effect = entry(&PluginHost::callback);
    tLoading = outer;

    if (effect == nullptr) {
        dlclose(library);
        error_ = "the VST entry of " + path + " returned no effect";
        return false;
    }
    if (effect->magic != vst2::kEffectMagic) {
        // Not a record we understand: touch nothing in it.
        char magic[16];
        std::snprintf(magic, sizeof magic, "0x%08x", static_cast<unsigned>(effect->magic));
        dlclose(library);
        error_ = "not a VST 2 effect: " + path + " returned a record with magic " + magic +
                 " instead of 'VstP' (0x56737450)";
        return false;
    }
    effect->user = this;
    if ((effect->flags & vst2::effFlagsCanReplacing) == 0) {
        effect->dispatcher(effect, vst2::effClose, 0, 0, nullptr, 0.0f);
        dlclose(library);
        error_ = "refused " + path + ": it cannot process replacing (flag 0x10 not set), and hosts only " +
                 "call processReplacing";
        return false;
    }

    library_ = library;
    effect_ = effect;
    return true;
}

void PluginHost::unload() {
    if (effect_ != nullptr) {
        if (editorOpen_) {
            closeEditor();
        }
        if (resumed_) {
            suspend();
        }
        // The record is gone once effClose returns.
        dispatch(vst2::effClose);
        effect_ = nullptr;
    }
    if (library_ != nullptr) {
        dlclose(library_);
        library_ = nullptr;
    }
    resumed_ = false;
    editorOpen_ = false;
}

intptr PluginHost::dispatch(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    if (effect_ == nullptr) {
        return 0;
    }
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void PluginHost::open(double sampleRate, int32 blockSize) {
    dispatch(vst2::effOpen);
    setSampleRate(sampleRate);
    setBlockSize(blockSize);
    if (canDo("bypass") != 0) {
        dispatch(vst2::effSetBypass, 0, 0);
    }
    suspend();
    resume();
}

void PluginHost::setSampleRate(double sampleRate) {
    sampleRate_ = sampleRate;
    dispatch(vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
}

void PluginHost::setBlockSize(int32 blockSize) {
    blockSize_ = blockSize;
    dispatch(vst2::effSetBlockSize, 0, blockSize);
}

void PluginHost::resume() {
    dispatch(vst2::effMainsChanged, 0, 1);
    resumed_ = effect_ != nullptr;
}

void PluginHost::suspend() {
    dispatch(vst2::effMainsChanged, 0, 0);
    resumed_ = false;
}

float PluginHost::getParameter(int32 index) const {
    if (effect_ == nullptr || effect_->getParameter == nullptr) {
        return 0.0f;
    }
    return effect_->getParameter(effect_, index);
}

void PluginHost::setParameter(int32 index, float value) {
    if (effect_ != nullptr && effect_->setParameter != nullptr) {
        effect_->setParameter(effect_, index, value);
    }
}

TextResult PluginHost::text(int32 opcode, int32 index) {
    // Zeroed and far larger than any name the interface allows, so a plug-in that writes past the
    // customary limits still ends inside the buffer.
    char buffer[kTextBufferSize] = {};
    const intptr result = dispatch(opcode, index, 0, buffer);
    buffer[kTextBufferSize - 1] = '\0';
    return {std::string(buffer), result};
}

std::string PluginHost::parameterName(int32 index) {
    return text(vst2::effGetParamName, index).text;
}
std::string PluginHost::parameterLabel(int32 index) {
    return text(vst2::effGetParamLabel, index).text;
}
std::string PluginHost::parameterDisplay(int32 index) {
    return text(vst2::effGetParamDisplay, index).text;
}
TextResult PluginHost::effectName() {
    return text(vst2::effGetEffectName);
}
TextResult PluginHost::vendorString() {
    return text(vst2::effGetVendorString);
}
TextResult PluginHost::productString() {
    return text(vst2::effGetProductString);
}
intptr PluginHost::vendorVersion() {
    return dispatch(vst2::effGetVendorVersion);
}

intptr PluginHost::canDo(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    return dispatch(vst2::effCanDo, 0, 0, buffer.data());
}

int32 PluginHost::program() {
    return static_cast<int32>(dispatch(vst2::effGetProgram));
}
void PluginHost::setProgram(int32 index) {
    dispatch(vst2::effSetProgram, 0, index);
}
std::string PluginHost::programName() {
    return text(vst2::effGetProgramName).text;
}

void PluginHost::setProgramName(const std::string& name) {
    char buffer[kTextBufferSize] = {};
    std::snprintf(buffer, sizeof buffer, "%s", name.c_str());
    dispatch(vst2::effSetProgramName, 0, 0, buffer);
}

std::vector<std::uint8_t> PluginHost::getChunk(bool isPreset) {
    void* data = nullptr;
    const intptr size = dispatch(vst2::effGetChunk, isPreset ? 1 : 0, 0, &data);
    if (size <= 0 || data == nullptr) {
        return {};
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    return std::vector<std::uint8_t>(bytes, bytes + size);
}

intptr PluginHost::setChunk(const std::vector<std::uint8_t>& bytes, bool isPreset) {
    // The plug-in receives a mutable pointer; give it a copy of its own.
    std::vector<std::uint8_t> copy = bytes;
    return dispatch(vst2::effSetChunk, isPreset ? 1 : 0, static_cast<intptr>(copy.size()), copy.data());
}

void PluginHost::prepareChannels(int32 frames) {
    const std::size_t inputs = static_cast<std::size_t>(std::max(effect_->numInputs, 2));
    const std::size_t outputs = static_cast<std::size_t>(std::max(effect_->numOutputs, 2));
    const std::size_t length = static_cast<std::size_t>(std::max(frames, 1));
    // A plug-in may work in place on its inputs: the silence is laid anew for every block.
    silence_.assign(length * inputs, 0.0f);
    discard_.resize(length * outputs);
    inputPtrs_.resize(inputs);
    outputPtrs_.resize(outputs);
    for (std::size_t c = 0; c < inputs; ++c) {
        inputPtrs_[c] = silence_.data() + c * length;
    }
    for (std::size_t c = 0; c < outputs; ++c) {
        outputPtrs_[c] = discard_.data() + c * length;
    }
}

void PluginHost::stereoArrays(const float* inL, const float* inR, float* outL, float* outR, int32 frames) {
    prepareChannels(frames);
    // The interface hands inputs over as float**; plug-ins do not write them.
    inputPtrs_[0] = const_cast<float*>(inL);
    inputPtrs_[1] = const_cast<float*>(inR);
    outputPtrs_[0] = outL;
    outputPtrs_[1] = outR;
}

void PluginHost::processReplacing(const float* inL, const float* inR, float* outL, float* outR,
                                  int32 frames) {
    if (effect_ == nullptr) {
        return;
    }
    stereoArrays(inL, inR, outL, outR, frames);
    processReplacing(inputPtrs_.data(), outputPtrs_.data(), frames);
}

bool PluginHost::process(const float* inL, const float* inR, float* outL, float* outR, int32 frames) {
    if (effect_ == nullptr) {
        return false;
    }
    stereoArrays(inL, inR, outL, outR, frames);
    return process(inputPtrs_.data(), outputPtrs_.data(), frames);
}

void PluginHost::processReplacing(float** inputs, float** outputs, int32 frames) {
    if (effect_ == nullptr || effect_->processReplacing == nullptr) {
        return;
    }
    effect_->processReplacing(effect_, inputs, outputs, frames);
    advance(frames);
}

bool PluginHost::process(float** inputs, float** outputs, int32 frames) {
    if (effect_ == nullptr || effect_->process == nullptr) {
        return false;
    }
    effect_->process(effect_, inputs, outputs, frames);
    advance(frames);
    return true;
}

intptr PluginHost::processEvents(const std::vector<MidiMessage>& messages) {
    const std::size_t count = messages.size();
    midiEvents_.assign(count, vst2::VstMidiEvent{});
    for (std::size_t i = 0; i < count; ++i) {
        vst2::VstMidiEvent& e = midiEvents_[i];
        e.type = vst2::kVstMidiType;
        e.byteSize = static_cast<int32>(sizeof(vst2::VstMidiEvent));
        e.deltaFrames = messages[i].deltaFrames;
        for (int b = 0; b < 3; ++b) {
            e.midiData[b] = static_cast<char>(messages[i].bytes[b]);
        }
    }

    // The record is declared with two pointer slots; it is laid out with as many as there are events.
    const std::size_t slots = std::max<std::size_t>(count, 2);
    const std::size_t bytes = offsetof(vst2::VstEvents, events) + slots * sizeof(vst2::VstEvent*);
    eventsBlock_.assign((bytes + sizeof(std::uintptr_t) - 1) / sizeof(std::uintptr_t), 0);
    auto* base = reinterpret_cast<unsigned char*>(eventsBlock_.data());
    auto* events = new (base) vst2::VstEvents{};
    events->numEvents = static_cast<int32>(count);
    auto** slot = reinterpret_cast<vst2::VstEvent**>(base + offsetof(vst2::VstEvents, events));
    for (std::size_t i = 0; i < count; ++i) {
        slot[i] = reinterpret_cast<vst2::VstEvent*>(&midiEvents_[i]);
    }
    return dispatch(vst2::effProcessEvents, 0, 0, events);
}

bool PluginHost::editorRect(vst2::ERect& rect) {
    vst2::ERect* answer = nullptr;
    dispatch(vst2::effEditGetRect, 0, 0, &answer);
    if (answer == nullptr) {
        return false;
    }
    rect = *answer;
    return true;
}

intptr PluginHost::openEditor(unsigned long windowId, void* display) {
    if (effect_ == nullptr) {
        return 0;
    }
    editorOpen_ = true;
    return dispatch(vst2::effEditOpen, 0, reinterpret_cast<intptr>(display),
                    reinterpret_cast<void*>(windowId));
}

void PluginHost::idleEditor() {
    dispatch(vst2::effEditIdle);
}

void PluginHost::closeEditor() {
    dispatch(vst2::effEditClose);
    editorOpen_ = false;
}

const vst2::VstTimeInfo& PluginHost::timeInfo() {
    vst2::VstTimeInfo t{};
    const double rate = sampleRate_ > 0.0 ? sampleRate_ : 44100.0;
    const double seconds = samplePos_ / rate;
    t.samplePos = samplePos_;
    t.sampleRate = rate;
    t.nanoSeconds = seconds * 1e9;
    t.tempo = transport_.tempo;
    t.ppqPos = transport_.startBeat + seconds * transport_.tempo / 60.0;
    t.timeSigNumerator = transport_.timeSigNumerator;
    t.timeSigDenominator = transport_.timeSigDenominator;
    if (transport_.timeSigDenominator > 0) {
        const double beatsPerBar = transport_.timeSigNumerator * 4.0 / transport_.timeSigDenominator;
        if (beatsPerBar > 0.0) {
            t.barStartPos = std::floor(t.ppqPos / beatsPerBar) * beatsPerBar;
        }
    }
    t.flags = transport_.flags;
    timeInfo_ = t;
    return timeInfo_;
}

int PluginHost::timeRequests() const {
    return timeRequests_.load();
}
intptr PluginHost::lastTimeMask() const {
    return lastTimeMask_.load();
}

std::vector<HostEvent> PluginHost::events() const {
    std::lock_guard<std::mutex> lock(logMutex_);
    return log_;
}

void PluginHost::clearEvents() {
    std::lock_guard<std::mutex> lock(logMutex_);
    log_.clear();
}

void PluginHost::record(HostEventKind kind, int32 index, double value) {
    std::lock_guard<std::mutex> lock(logMutex_);
    log_.push_back({kind, index, value});
}

intptr PluginHost::callback(vst2::AEffect* effect, int32 opcode, int32 index, intptr value, void* ptr,
                            float opt) {
    PluginHost* host =
        (effect != nullptr && effect->user != nullptr) ? static_cast<PluginHost*>(effect->user) : tLoading;
    if (host == nullptr) {
        // A plug-in asks for the version before it has a record, sometimes from a host it cannot name.
        return opcode == vst2::audioMasterVersion ? kHostVersion : 0;
    }
    return host->answer(opcode, index, value, ptr, opt);
}

intptr PluginHost::answer(int32 opcode, int32 index, intptr value, void* ptr, float opt) {
    switch (opcode) {
    case vst2::audioMasterVersion:
        return kHostVersion;
    case vst2::audioMasterAutomate:
        record(HostEventKind::Automate, index, opt);
        return 0;
    case vst2::audioMasterBeginEdit:
        record(HostEventKind::BeginEdit, index, 0.0);
        return 0;
    case vst2::audioMasterEndEdit:
        record(HostEventKind::EndEdit, index, 0.0);
        return 0;
    case vst2::audioMasterUpdateDisplay:
        record(HostEventKind::UpdateDisplay, 0, 0.0);
        return 0;
    case vst2::audioMasterSizeWindow:
        record(HostEventKind::SizeWindow, index, static_cast<double>(value));
        return 1;
    case vst2::audioMasterIdle:
        // Linux hosts answer with an editor idle at once, on the calling thread.
        if (idleDepth_ < kMaxIdleDepth) {
            ++idleDepth_;
            dispatch(vst2::effEditIdle);
            --idleDepth_;
        } else {
            record(HostEventKind::IdleRecursion, idleDepth_, 0.0);
        }
        return 0;
    case vst2::audioMasterGetTime:
        ++timeRequests_;
        lastTimeMask_ = value;
        if (!transport_.available) {
            return 0;
        }
        return reinterpret_cast<intptr>(&timeInfo());
    case vst2::audioMasterGetSampleRate:
        return static_cast<intptr>(sampleRate_);
    case vst2::audioMasterGetBlockSize:
        return blockSize_;
    case vst2::audioMasterGetVendorString:
        copyHostText(ptr, kHostVendor);
        return 1;
    case vst2::audioMasterGetProductString:
        copyHostText(ptr, kHostProduct);
        return 1;
    case vst2::audioMasterGetVendorVersion:
        return 1;
    case vst2::audioMasterCanDo:
        if (ptr != nullptr) {
            const char* asked = static_cast<const char*>(ptr);
            for (const char* known : kHostCanDo) {
                if (std::strcmp(asked, known) == 0) {
                    return 1;
                }
            }
        }
        return 0;
    default:
        return 0;
    }
}

} // namespace vhost
