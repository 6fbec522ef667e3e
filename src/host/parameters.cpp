// The parameter table: what each of the 56 indices stores, the engine value
// derived from it, the components a change reaches, and the numbers the
// editor's value displays show.

#include <cmath>
#include <cstring>

#include "host/plugin_effect.h"

namespace {

bool validIndex(std::int32_t index) {
    return index >= 0 && index < param::kCount;
}

// "Block Size": a length in seconds from 16 samples to fs - 1 samples at the rate fs.
float blockSizeSeconds(float p, float fs) {
    return ((fs - 17.0f) * p * p + 16.0f) / fs;
}

void writeText(char* destination, const char* text) {
    if (destination != nullptr) {
        std::strcpy(destination, text);
    }
}

} // namespace

void PluginEffect::setParameter(int32 index, float value) {
    using namespace param;
    // A host index outside the table, or a value that is not a number, never
    // reaches the stored state.
    if (!validIndex(index) || !std::isfinite(value)) {
        return;
    }
    values[index] = value;
    engineValues[index] = value;
    currentRecord().values[index] = value;

    // Continuous parameters are defined on 0..1; their engine values are
    // derived from the value held to that range so that no control value can
    // leave the range the components are built for.
    const float p = clampUnit(value);
    switch (index) {
    case kBlockSize:
        engineValues[index] = blockSizeSeconds(p, engine.workingSampleRate);
        break;
    case kStages:
        engineValues[index] = 69.0f * p + 1.0f;
        break;
    case kSmoothing:
        engineValues[index] = 0.1f * p;
        for (WarpedLatticeFilter* lattice : {static_cast<WarpedLatticeFilter*>(&engine.aSections[0]),
                                             static_cast<WarpedLatticeFilter*>(&engine.aSections[1]),
                                             static_cast<WarpedLatticeFilter*>(&engine.sSections[0]),
                                             static_cast<WarpedLatticeFilter*>(&engine.sSections[1])}) {
            lattice->setSmoothingTime(engineValues[index]);
        }
        break;
    case kDecimation:
        engineValues[index] = p;
        engine.decimators[0].setPeriod(64.0 * p);
        engine.decimators[1].setPeriod(64.0 * p);
        break;
    case kBufferRate:
        engineValues[index] = p < 0.5f ? p + 0.5f : 2.0f * p;
        break;
    case kFilterType:
        engineValues[index] = 10.0f * value; // the type index, kept in single precision
        engine.requestFeedbackDesign();
        break;
    case kCutoff:
    case kResonance:
        engineValues[index] = p;
        engine.requestFeedbackDesign();
        break;
    case kEnvAttack:
        engineValues[index] = p * p * p;
        engine.envelope.setAttackTime(engineValues[index]);
        break;
    case kEnvRelease:
        engineValues[index] = 2.0f * p * p * p;
        engine.envelope.setReleaseTime(engineValues[index]);
        break;
    case kLfo1Shape:
    case kLfo2Shape: {
        // A shape index outside the list leaves the table as it was.
        const int shape = value >= 0.0f && value < 8.0f ? static_cast<int>(value) : -1;
        (index == kLfo1Shape ? engine.lfo1 : engine.lfo2).setShape(shape);
        break;
    }
    case kLfo1Freq:
    case kLfo2Freq:
        engineValues[index] = 20.0f * p * p;
        break;
    case kDelaySync:
    case kLfo1Sync:
    case kLfo2Sync:
        break; // a division index; its readers check the range
    default:
        if (index >= kFirstRoute && index <= kLastRoute) {
            // Route depth -1..+1; "Env->S Res" keeps its stored value and reaches no target.
            engineValues[index] = index == kEnvToSRes ? p : 2.0f * p - 1.0f;
        } else {
            engineValues[index] = p;
        }
        break;
    }

    if (editor != nullptr) {
        editor->postUpdate();
    }
}

void PluginEffect::deriveRateDependentValues() {
    using namespace param;
    engineValues[kBlockSize] = blockSizeSeconds(clampUnit(values[kBlockSize]), engine.workingSampleRate);
    if (editor != nullptr) {
        editor->setParameter(kBlockSize, values[kBlockSize]); // its display shows the new length
    }
}

float PluginEffect::getParameter(int32 index) {
    return validIndex(index) ? values[index].load() : 0.0f;
}

void PluginEffect::getParameterLabel(int32 index, char* label) {
    writeText(label, validIndex(index) ? "-" : "");
}

// The host gets no value text: values are shown only in the editor.
void PluginEffect::getParameterDisplay(int32, char* text) {
    writeText(text, "");
}

void PluginEffect::getParameterName(int32 index, char* text) {
    if (text == nullptr) {
        return;
    }
    text[0] = '\0';
    if (!validIndex(index)) {
        return;
    }
    auto entry = parameterNames.find(index);
    if (entry != parameterNames.end()) {
        std::strncpy(text, entry->second.c_str(), kMaxNameCharacters);
        text[kMaxNameCharacters] = '\0';
    }
}

float PluginEffect::getDisplayValue(int32 index) {
    using namespace param;
    if (!validIndex(index)) {
        return 0.0f;
    }
    const float e = engineValues[index];
    // A synced time is shown as the number of grid steps it spans; a
    // division below one step per beat ("4/1") runs free and shows its free value.
    auto gridSteps = [this](float seconds, float grid) {
        return syncRound(seconds, grid) / syncRound(1e-12f, grid);
    };
    if (index == kDelay) {
        const float grid = syncGridValue(values[kDelaySync]);
        if (grid >= 1.0f) {
            return gridSteps(e, grid);
        }
    } else if (index == kLfo1Freq || index == kLfo2Freq) {
        const float grid = syncGridValue(values[index == kLfo1Freq ? kLfo1Sync : kLfo2Sync]);
        if (grid >= 1.0f && e > 0.0f) {
            return gridSteps(1.0f / e, grid);
        }
    }
    return e;
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
        if ((status & 0xF0) != 0xB0 || controller > 127 || amount > 127 || controller == 126) {
            continue;
        }
        const int32 target = controllerMap[controller];
        if (target < 0 || target >= param::kCount) {
            continue;
        }
        setParameter(target, static_cast<float>(amount) * (1.0f / 127.0f));
        updateDisplay();
    }
    return 1;
}
