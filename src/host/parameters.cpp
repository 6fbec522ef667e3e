// The effect's parameter operations over the one parameter table
// (common/parameter_table.h): storing a value with its engine value, the
// numbers the editor's value boxes show, names, and MIDI controllers. What a
// change reconfigures is the engine's business (Engine::parameterChanged).

#include <cmath>
#include <cstring>

#include "host/plugin_effect.h"

namespace {

// MIDI: control changes on any channel; data bytes are 7 bits; controller 126
// (mono mode) is a channel-mode message, not a controller.
constexpr unsigned char kStatusMask = 0xF0;
constexpr unsigned char kControlChange = 0xB0;
constexpr unsigned char kDataMax = 127;
constexpr unsigned char kMonoModeMessage = 126;

// Texts for hosts' buffers, cut like names: hosts size them for short texts.
void copyCut(char* destination, const char* text) {
    std::strncpy(destination, text, PluginEffect::kMaxNameCharacters);
    destination[PluginEffect::kMaxNameCharacters] = '\0';
}

} // namespace

void PluginEffect::setParameter(int32 index, float value) {
    // A host index outside the table, or a value that is not a number, never
    // reaches the stored state.
    if (!param::validIndex(index) || !std::isfinite(value)) {
        return;
    }
    values[index] = value;
    engineValues[index] = param::engineValue(index, value, engine.workingSampleRate);
    currentRecord().values[index] = value;
    engine.parameterChanged(index);
    if (editor != nullptr) {
        editor->postUpdate();
    }
}

void PluginEffect::deriveRateDependentValues() {
    using namespace param;
    engineValues[kBlockSize] = engineValue(kBlockSize, values[kBlockSize], engine.workingSampleRate);
    if (editor != nullptr) {
        editor->setParameter(kBlockSize, values[kBlockSize]); // its display shows the new length
    }
}

float PluginEffect::getParameter(int32 index) {
    return param::validIndex(index) ? values[index].load() : 0.0f;
}

param::TextContext PluginEffect::textContext(int32 index) {
    param::TextContext context;
    context.stored = values[index];
    context.display = getDisplayValue(index);
    const int sync = param::syncIndexOf(index);
    context.storedSync = sync >= 0 ? values[sync].load() : 0.0f;
    context.filterType = engineValues[param::kFilterType];
    context.sampleRate = engine.workingSampleRate;
    context.samplesPerBeat = engine.hostTime.samplesPerBeat;
    return context;
}

// The value text and the unit come from one formatting of the parameter; a
// host asks for each on its own.
void PluginEffect::copyParameterText(int32 index, char* destination, bool unit) {
    if (destination == nullptr) {
        return;
    }
    destination[0] = '\0';
    if (param::validIndex(index)) {
        formatters::SplitText text;
        param::parameterText(index, textContext(index), text);
        copyCut(destination, unit ? text.unit : text.value);
    }
}

void PluginEffect::getParameterLabel(int32 index, char* label) {
    copyParameterText(index, label, true);
}

void PluginEffect::getParameterDisplay(int32 index, char* display) {
    copyParameterText(index, display, false);
}

bool PluginEffect::string2Parameter(int32 index, const char* text) {
    if (!param::validIndex(index) ||
        param::kParameters[static_cast<std::size_t>(index)].hostName[0] == '\0') {
        return false; // only the parameters a host can name take text
    }
    if (text == nullptr) {
        return true;
    }
    float stored = 0.0f;
    if (!param::storedValueOfText(index, text, textContext(index), stored)) {
        return false;
    }
    setParameter(index, stored);
    return true;
}

void PluginEffect::getParameterName(int32 index, char* text) {
    if (text == nullptr) {
        return;
    }
    text[0] = '\0';
    if (!param::validIndex(index)) {
        return;
    }
    copyCut(text, param::kParameters[static_cast<std::size_t>(index)].hostName);
}

float PluginEffect::getDisplayValue(int32 index) {
    if (!param::validIndex(index)) {
        return 0.0f;
    }
    const int sync = param::syncIndexOf(index);
    return param::displayValue(index, engineValues[index], sync >= 0 ? values[sync].load() : 0.0f,
                               engine.workingSampleRate, engine.hostTime.samplesPerBeat);
}

// MIDI control changes reach parameters through `controllerMap`.
PluginEffect::int32 PluginEffect::processEvents(vst2::VstEvents* events) {
    if (events == nullptr) {
        return 1;
    }
    // The record declares two pointer slots; a host lays out as many as it has events.
    vst2::VstEvent* const* list = events->events;
    for (int32 i = 0; i < events->numEvents; ++i) {
        const vst2::VstEvent* event = list[i];
        if (event == nullptr || event->type != vst2::kVstMidiType) {
            continue;
        }
        const auto* midi = reinterpret_cast<const vst2::VstMidiEvent*>(event);
        const auto status = static_cast<unsigned char>(midi->midiData[0]);
        const auto controller = static_cast<unsigned char>(midi->midiData[1]);
        const auto amount = static_cast<unsigned char>(midi->midiData[2]);
        if ((status & kStatusMask) != kControlChange || controller > kDataMax || amount > kDataMax ||
            controller == kMonoModeMessage) {
            continue;
        }
        const int32 target = controllerMap[controller];
        if (!param::validIndex(target)) {
            continue;
        }
        setParameter(target, static_cast<float>(amount) * (1.0f / static_cast<float>(kDataMax)));
        updateDisplay();
    }
    return 1;
}
