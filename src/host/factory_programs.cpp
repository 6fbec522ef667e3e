#include "host/factory_programs.h"

#include <cstring>
#include <iterator>
#include <string_view>

namespace {

using namespace param;

struct Setting {
    int index = -1; // -1: an unused slot
    float value = 0.0f;
};

constexpr int kMaxSettings = 12;

struct FactoryProgram {
    const char* name;
    Setting settings[kMaxSettings];
};

// The menus' stored values, looked up by the entry a user reads in the menu;
// a name that is not in the list stops the table from compiling.
template <typename Names> constexpr int entryIndex(const Names& names, std::string_view name) {
    for (int i = 0; i < static_cast<int>(names.size()); ++i) {
        if (name == names[static_cast<std::size_t>(i)]) {
            return i;
        }
    }
    throw "no such menu entry";
}
constexpr float division(std::string_view name) {
    return static_cast<float>(entryIndex(kDivisionNames, name));
}
constexpr float shape(std::string_view name) {
    return static_cast<float>(entryIndex(kShapeNames, name));
}
constexpr float filterType(std::string_view name) {
    return static_cast<float>(entryIndex(kFilterTypeNames, name)) / kFilterTypeScale;
}

// "Buffer Rate" for a pitch ratio (0.5 to 2): the inverse of its value law.
constexpr float rateOf(float ratio) {
    return ratio < 1.0f ? ratio - 0.5f : ratio / 2.0f;
}

// A route's stored value for a depth of -1 to +1.
constexpr float depth(float d) {
    return (d + 1.0f) / 2.0f;
}

constexpr float kOn = 1.0f;

// Each row: the name, then only what differs from "Default". The pitch
// programs use long blocks, because the buffer-rate window grows with the
// block and a short window roughens the shifted pitch; the formant programs
// use short blocks, so the lattices follow the voice. Every delay program
// names a feedback filter of its own: the default one (Lowpass at 22 Hz with
// Q 10) makes the loop drone from a Feedback of 0.15 on.
// clang-format off
constexpr FactoryProgram kFactoryPrograms[] = {
    {"Default", {}},
    {"Fifth Up Harmony", {{kBlockSize, 0.8f}, {kBufferRate, rateOf(1.5f)}}},
    {"Fifth Down Harmony", {{kBlockSize, 0.8f}, {kBufferRate, rateOf(2.0f / 3.0f)}}},
    {"Octave Up", {{kBlockSize, 0.8f}, {kBufferRate, rateOf(2.0f)}, {kMix, 1.0f}}},
    {"Octave Down", {{kBlockSize, 0.8f}, {kBufferRate, rateOf(0.5f)}, {kMix, 1.0f}}},
    {"Octave Flip 1/8", {{kBlockSize, 0.8f}, {kMix, 1.0f}, {kLfo1Shape, shape("square")},
        {kLfo1Sync, division("1/8")}, {kLfo1Freq, 0.5f}, {routeIndex(kSourceLfo1, kTargetBufferRate), depth(1.0f)}}},
    {"Vibrato", {{kBlockSize, 0.8f}, {kMix, 1.0f}, {kLfo1Freq, 0.5f},
        {routeIndex(kSourceLfo1, kTargetBufferRate), depth(0.03f)}}},
    {"Envelope Pitch Rise", {{kBlockSize, 0.8f}, {kMix, 1.0f}, {kEnvAttack, 0.2f}, {kEnvRelease, 0.4f},
        {routeIndex(kSourceEnvelope, kTargetBufferRate), depth(1.0f)}}},
    {"Formant Up", {{kStages, 0.3f}, {kBlockSize, 0.1f}, {kSmoothing, 0.2f}, {kSWarp, 0.7f}, {kMix, 1.0f}}},
    {"Formant Down", {{kStages, 0.3f}, {kBlockSize, 0.1f}, {kSmoothing, 0.2f}, {kSWarp, 0.9f}, {kMix, 1.0f}}},
    {"Chipmunk", {{kStages, 0.3f}, {kBlockSize, 0.8f}, {kSmoothing, 1.0f}, {kBufferRate, rateOf(2.0f)},
        {kSWarp, 0.7f}, {kMix, 1.0f}, {kOut, 0.87f}}},
    {"Giant", {{kStages, 0.3f}, {kBlockSize, 0.8f}, {kSmoothing, 1.0f}, {kBufferRate, rateOf(2.0f / 3.0f)},
        {kSWarp, 0.9f}, {kMix, 1.0f}, {kOut, 0.96f}}},
    {"Slow Warp Sweep", {{kStages, 0.3f}, {kBlockSize, 0.1f}, {kSmoothing, 0.2f}, {kMix, 1.0f},
        {kLfo1Freq, 0.1f}, {routeIndex(kSourceLfo1, kTargetSWarp), depth(1.0f)}}},
    {"Stereo Formant Drift", {{kStages, 0.3f}, {kBlockSize, 0.1f}, {kSmoothing, 0.2f}, {kMix, 1.0f},
        {kLfo1Freq, 0.12f}, {kLfo1Stereo, kOn}, {routeIndex(kSourceLfo1, kTargetSWarp), depth(1.0f)}}},
    {"Warp Wah 1/4", {{kStages, 0.3f}, {kBlockSize, 0.1f}, {kSmoothing, 0.2f}, {kMix, 1.0f},
        {kLfo1Shape, shape("tri")}, {kLfo1Sync, division("1/4")}, {kLfo1Freq, 0.33f},
        {routeIndex(kSourceLfo1, kTargetSWarp), depth(1.0f)}}},
    {"Robot Voice", {{kStages, 0.0f}, {kBlockSize, 0.1f}, {kDecimation, 0.5f}, {kDelay, 0.009f},
        {kFeedback, 0.5f}, {kFilterType, filterType("Highpass")}, {kCutoff, 0.2f}, {kResonance, 0.22f},
        {kMix, 1.0f}, {kOut, 0.95f}}},
    {"Whisper Crush", {{kStages, 0.5f}, {kBlockSize, 0.1f}, {kDecimation, 0.6f}, {kSRes, 0.9f},
        {kSaturation, 0.25f}, {kLfo1Shape, shape("tri")}, {kLfo1Freq, 1.0f},
        {routeIndex(kSourceLfo1, kTargetDecimation), depth(0.6f)}, {kMix, 1.0f}}},
    {"Lo-Fi Decimator", {{kDecimation, 0.35f}, {kMix, 0.8f}, {kOut, 0.9f}}},
    {"Decimation Sweep 1/2", {{kMix, 1.0f}, {kLfo1Shape, shape("tri")}, {kLfo1Sync, division("1/2")},
        {kLfo1Freq, 0.24f}, {routeIndex(kSourceLfo1, kTargetDecimation), depth(1.0f)}, {kOut, 0.88f}}},
    {"Dub Delay 1/4 D", {{kDelay, 0.01f}, {kDelaySync, division("1/4 D")}, {kFeedback, 0.95f},
        {kFilterType, filterType("Bandpass")}, {kCutoff, 0.4f}, {kResonance, 0.2f}, {kMix, 0.4f},
        {kLfo2Freq, 0.1f}, {kLfo2Stereo, kOn}, {routeIndex(kSourceLfo2, kTargetCutoff), depth(0.2f)}}},
    {"Crossed Echo 1/2", {{kDelay, 0.01f}, {kDelaySync, division("1/2")}, {kFeedback, 0.85f},
        {kFilterType, filterType("Highpass")}, {kCutoff, 0.2f}, {kResonance, 0.22f}, {kMix, 0.4f},
        {kCrossSwitch, kOn}}},
    {"Wobbly Tape Echo", {{kDelay, 0.33f}, {kFeedback, 0.8f}, {kFilterType, filterType("Lowpass")},
        {kCutoff, 0.45f}, {kResonance, 0.22f}, {kMix, 0.4f}, {kLfo1Freq, 0.16f},
        {routeIndex(kSourceLfo1, kTargetBufferRate), depth(0.04f)}}},
    {"Slapback", {{kDelay, 0.09f}, {kFeedback, 0.3f}, {kFilterType, filterType("Lowpass")}, {kCutoff, 0.55f},
        {kResonance, 0.22f}, {kMix, 0.35f}}},
    {"Envelope Echo Filter", {{kDelay, 0.01f}, {kDelaySync, division("1/8")}, {kFeedback, 0.9f},
        {kFilterType, filterType("Bandpass")}, {kCutoff, 0.3f}, {kResonance, 0.4f}, {kMix, 0.4f},
        {kEnvAttack, 0.1f}, {kEnvRelease, 0.5f}, {routeIndex(kSourceEnvelope, kTargetCutoff), depth(1.0f)}}},
    {"Rising Echoes", {{kBlockSize, 0.8f}, {kBufferRate, rateOf(1.5f)}, {kDelay, 0.01f},
        {kDelaySync, division("1/2")}, {kFeedback, 0.9f}, {kFilterType, filterType("Lowpass")}, {kCutoff, 0.6f},
        {kResonance, 0.22f}, {kMix, 0.4f}}},
    {"Falling Echoes", {{kBlockSize, 0.8f}, {kBufferRate, rateOf(2.0f / 3.0f)}, {kDelay, 0.01f},
        {kDelaySync, division("1/2")}, {kFeedback, 0.9f}, {kFilterType, filterType("Highpass")}, {kCutoff, 0.15f},
        {kResonance, 0.22f}, {kMix, 0.4f}}},
    {"Metal Comb", {{kBlockSize, 0.1f}, {kDelay, 0.006f}, {kFeedback, 0.85f}, {kFilterType, filterType("Highpass")},
        {kCutoff, 0.25f}, {kResonance, 0.22f}}},
    {"Feedback Drone", {{kDelay, 0.3f}, {kFeedback, 1.0f}, {kFilterType, filterType("Lowpass")}, {kCutoff, 0.45f},
        {kResonance, 0.4f}, {kMix, 0.4f}, {kOut, 0.95f}}},
    {"Resonant Drone", {{kDelay, 0.2f}, {kFeedback, 1.0f}, {kFilterType, filterType("Peaking")}, {kCutoff, 0.3f},
        {kResonance, 0.7f}, {kMix, 0.4f}, {kOut, 0.88f}}},
    {"Swept Filter Drone", {{kDelay, 0.3f}, {kFeedback, 1.0f}, {kFilterType, filterType("Lowpass")},
        {kCutoff, 0.45f}, {kResonance, 0.4f}, {kMix, 0.4f}, {kLfo2Shape, shape("tri")}, {kLfo2Freq, 0.08f},
        {routeIndex(kSourceLfo2, kTargetCutoff), depth(0.4f)}}},
    {"Subtle Thickener", {{kSWarp, 0.78f}, {kMix, 0.25f}, {kLfo1Freq, 0.15f}, {kLfo1Stereo, kOn},
        {routeIndex(kSourceLfo1, kTargetBufferRate), depth(0.04f)}}},
    {"Warm Saturation", {{kSaturation, 0.5f}, {kMix, 0.35f}}},
};
// clang-format on

static_assert(std::size(kFactoryPrograms) == kProgramCount);

// Hosts show the names as they are: printable ASCII that fits the record.
constexpr bool namesFit() {
    for (const FactoryProgram& program : kFactoryPrograms) {
        const std::string_view name = program.name;
        if (name.empty() || name.size() > ProgramRecord::kMaxNameCharacters) {
            return false;
        }
        for (const char c : name) {
            if (c < ' ' || c > '~') {
                return false;
            }
        }
    }
    return true;
}
static_assert(namesFit());

constexpr bool settingsValid() {
    for (const FactoryProgram& program : kFactoryPrograms) {
        for (const Setting& setting : program.settings) {
            if (setting.index != -1 && !validIndex(setting.index)) {
                return false;
            }
        }
    }
    return true;
}
static_assert(settingsValid());

} // namespace

void makeFactoryProgram(int index, ProgramRecord& record) {
    makeDefaultProgram(record);
    if (index < 0 || index >= kProgramCount) {
        return;
    }
    const FactoryProgram& program = kFactoryPrograms[index];
    std::memset(record.name, 0, sizeof(record.name));
    std::memcpy(record.name, program.name, std::strlen(program.name));
    for (const Setting& setting : program.settings) {
        if (setting.index >= 0) {
            record.values[setting.index] = setting.value;
        }
    }
}
