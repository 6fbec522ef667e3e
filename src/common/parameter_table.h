#pragma once

// The one parameter table of the effect, read by the effect, the engine, the
// editor and the renderer: the 56 indices, each one's host name, editor label,
// kind, factory value, value law (the engine value derived from the stored
// value) and display format; the lists the index-valued parameters choose
// from (tempo-sync divisions with their grid values, LFO shapes, filter
// types); and the modulation routes. Plain data and pure functions only.

#include <array>
#include <cstdint>

#include "common/value_text.h"

namespace param {

constexpr int kCount = 56;

enum Index : int {
    kUnused0 = 0,
    kBlockSize = 1,
    kStages = 2,
    kSmoothing = 3,
    kAWarp = 4,
    kARes = 5,
    kARotate = 6,
    kUnused7 = 7,
    kUnused8 = 8,
    kSaturation = 9,
    kDecimation = 10,
    kBufferRate = 11,
    kUnused12 = 12,
    kSWarp = 13,
    kSRotate = 14,
    kSRes = 15,
    kDelay = 16,
    kFeedback = 17,
    kFilterType = 18,
    kCutoff = 19,
    kResonance = 20,
    kDelaySync = 21,
    kCrossSwitch = 22,
    kEnvAttack = 23,
    kEnvRelease = 24,
    kLfo1Shape = 25,
    kLfo1Sync = 26,
    kLfo1Freq = 27,
    kUnused28 = 28,
    kLfo1Stereo = 29,
    kLfo2Shape = 30,
    kLfo2Sync = 31,
    kLfo2Freq = 32,
    kUnused33 = 33,
    kLfo2Stereo = 34,
    kFirstRoute = 35,
    kLastRoute = 52,
    kOut = 53,
    kMix = 54,
    kUnused55 = 55,
};

// Modulation routes: three sources, each with six destinations, laid out
// source-major from index 35.
enum RouteSource : int { kSourceEnvelope = 0, kSourceLfo1 = 1, kSourceLfo2 = 2 };
enum RouteTarget : int {
    kTargetSWarp = 0,
    kTargetSRes = 1,
    kTargetDecimation = 2,
    kTargetBufferRate = 3,
    kTargetAWarp = 4,
    kTargetCutoff = 5,
};
constexpr int kRouteTargets = 6;
constexpr int kRouteCount = 18;
constexpr int routeIndex(RouteSource source, RouteTarget target) {
    return kFirstRoute + source * kRouteTargets + target;
}
static_assert(routeIndex(kSourceLfo2, kTargetCutoff) == kLastRoute);
constexpr int kEnvToSRes = routeIndex(kSourceEnvelope, kTargetSRes); // stored, reaches no target

// How far a route at full depth moves its target per unit of source.
constexpr std::array<float, kRouteTargets> kRouteScale = {0.1f, 1.0f, 0.5f, 0.5f, 0.1f, 0.5f};

// Tempo-sync divisions: grid steps per beat; below 1 means free running.
constexpr int kSyncDivisionCount = 15;
constexpr std::array<float, kSyncDivisionCount> kSyncDivisions = {
    0.0f,  0.25f, 1.0f,  2.0f,  4.0f,        8.0f,         16.0f,        32.0f,
    64.0f, 6.0f,  12.0f, 24.0f, 8.0f / 3.0f, 16.0f / 3.0f, 32.0f / 3.0f,
};

// The grid value a Sync parameter selects, or 0 ("off") when its integer part
// does not name a division: a host may write anything into the parameter.
inline float syncGridValue(float storedSyncValue) {
    if (!(storedSyncValue >= 0.0f) || storedSyncValue >= static_cast<float>(kSyncDivisionCount)) {
        return 0.0f;
    }
    return kSyncDivisions[static_cast<int>(storedSyncValue)];
}

// "# Stages" spans this many stages above the first: 1 to 70.
constexpr float kStageSpan = 69.0f;

// Continuous parameters are defined on 0..1; a host may send anything.
inline float clampUnit(float v) {
    return v <= 0.0f ? 0.0f : (v >= 1.0f ? 1.0f : v);
}

// The lists the index-valued parameters choose from, in entry order.
constexpr std::array<const char*, kSyncDivisionCount> kDivisionNames = {
    "off",  "4/1",   "1/1",   "1/2",    "1/4",   "1/8",   "1/16",   "1/32",
    "1/64", "1/4 T", "1/8 T", "1/16 T", "1/4 D", "1/8 D", "1/16 D",
};
constexpr int kShapeCount = 8;
constexpr std::array<const char*, kShapeCount> kShapeNames = {"sine",   "tri", "saw up", "saw dn",
                                                              "square", "exp", "s & h",  "rand"};
// The eight types the filter display offers; the feedback filters know one more
// (a second-order all-pass), which no control selects.
constexpr int kFilterTypeCount = 8;
constexpr std::array<const char*, kFilterTypeCount> kFilterTypeNames = {
    "Lowpass", "Highpass", "Bandpass", "Bandstop", "Allpass", "Low Shelf", "High Shelf", "Peaking"};
// "Filter Type" stores the type index divided by this.
constexpr float kFilterTypeScale = 10.0f;

// What a parameter is to a control.
enum class Kind : std::uint8_t {
    unused,     // stored and saved; no component reads it and no control shows it
    knob,       // a value on 0..1 under a knob, or on the filter display
    division,   // a tempo-sync division, stored as its list index (a menu)
    shape,      // an LFO shape, stored as its list index (a menu)
    filterType, // the feedback filter's type, stored as type / 10 (the filter display's menu)
    toggle,     // a two-state button, 0 or 1
};

// How the engine value e derives from the stored value (p: the stored value held to 0..1).
enum class Law : std::uint8_t {
    unit,         // e = p
    stored,       // e = the stored value itself (a list index)
    blockSize,    // e = ((fs - 17) p^2 + 16) / fs seconds: 16 samples to fs - 1 samples
    stages,       // e = 69 p + 1 lattice stages
    smoothing,    // e = 0.1 p seconds
    bufferRate,   // e = p + 0.5 below p = 0.5, else 2 p: an octave down to an octave up
    filterType,   // e = 10 x the stored value: the type index
    cubeSeconds,  // e = p^3 seconds
    twoCubes,     // e = 2 p^3 seconds
    lfoFrequency, // e = 20 p^2 Hz
    routeDepth,   // e = 2 p - 1, a route's depth
};

// What a knob's value box shows.
enum class Display : std::uint8_t {
    plain,        // the engine value, "%2.2f" (the delay: seconds, or grid steps when synced)
    count,        // a whole count
    milliseconds, // seconds shown in milliseconds
    time,         // seconds shown in milliseconds below one, else in seconds
    lfoFrequency, // Hz while free, the grid steps of a cycle when synced
};

struct Parameter {
    const char* hostName; // "" where the host gets no name
    const char* label;    // the editor's label, "" where no labelled control shows it
    Kind kind;
    Law law;
    Display display;
    float factoryValue;    // in the program "Default"
    const char* unit = ""; // for hosts, where the display format names none
};

// clang-format off
constexpr std::array<Parameter, kCount> kParameters = {{
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},  // 0
    {"Block Size",       "Block",      Kind::knob,       Law::blockSize,    Display::milliseconds, 0.5f},
    {"# Stages",         "Stages",     Kind::knob,       Law::stages,       Display::count,        0.1f},
    {"Smoothing",        "Smooth",     Kind::knob,       Law::smoothing,    Display::plain,        0.0f, "s"},
    {"A Warp",           "Warp",       Kind::knob,       Law::unit,         Display::plain,        0.8f},
    {"A Res",            "Resonance",  Kind::knob,       Law::unit,         Display::plain,        0.98f}, // 5
    {"A Rotate",         "Rotate",     Kind::knob,       Law::unit,         Display::plain,        0.0f},
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},
    {"Saturation",       "Saturation", Kind::knob,       Law::unit,         Display::plain,        0.0f},
    {"Decimation",       "Decimation", Kind::knob,       Law::unit,         Display::plain,        0.0f},  // 10
    {"Buffer Rate",      "BufRate",    Kind::knob,       Law::bufferRate,   Display::plain,        0.5f},
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},
    {"S Warp",           "Warp",       Kind::knob,       Law::unit,         Display::plain,        0.8f},
    {"S Rotate",         "Rotate",     Kind::knob,       Law::unit,         Display::plain,        0.0f},
    {"S Res",            "Resonance",  Kind::knob,       Law::unit,         Display::plain,        0.98f}, // 15
    {"Delay",            "Delay",      Kind::knob,       Law::unit,         Display::plain,        0.0f, "s"},
    {"Feedback",         "Feedback",   Kind::knob,       Law::unit,         Display::plain,        0.0f},
    {"Filter Type",      "",           Kind::filterType, Law::filterType,   Display::plain,        0.0f},
    {"Cutoff",           "",           Kind::knob,       Law::unit,         Display::plain,        0.1f},
    {"Resonance",        "",           Kind::knob,       Law::unit,         Display::plain,        1.0f},  // 20
    {"Delay Sync",       "",           Kind::division,   Law::stored,       Display::plain,        0.0f},
    {"Delay Cross",      "",           Kind::toggle,     Law::unit,         Display::plain,        0.0f},
    {"Env. Attack",      "Env. Att",   Kind::knob,       Law::cubeSeconds,  Display::time,         0.0f},
    {"Env. Release",     "Env. Rel",   Kind::knob,       Law::twoCubes,     Display::time,         0.0f},
    {"LFO 1 Shape",      "",           Kind::shape,      Law::stored,       Display::plain,        0.0f},  // 25
    {"LFO 1 Sync",       "",           Kind::division,   Law::stored,       Display::plain,        0.0f},
    {"LFO 1 Freq",       "LFO Freq",   Kind::knob,       Law::lfoFrequency, Display::lfoFrequency, 0.05f},
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},
    {"LFO 1 Stereo",     "",           Kind::toggle,     Law::unit,         Display::plain,        0.0f},
    {"LFO 2 Shape",      "",           Kind::shape,      Law::stored,       Display::plain,        0.0f},  // 30
    {"LFO 2 Sync",       "",           Kind::division,   Law::stored,       Display::plain,        0.0f},
    {"LFO 2 Freq",       "LFO Freq",   Kind::knob,       Law::lfoFrequency, Display::lfoFrequency, 0.05f},
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},
    {"LFO 2 Stereo",     "",           Kind::toggle,     Law::unit,         Display::plain,        0.0f},
    {"Env->S Warp",      "S Warp",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},  // 35
    {"Env->S Res",       "S Res",      Kind::knob,       Law::unit,         Display::plain,        0.5f},  // reaches no target
    {"Env->Dec.",        "Dec",        Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"Env->BufRate",     "BufRate",    Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"Env->A Warp",      "A Warp",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"Env->Fb Cutoff",   "Fb Cut",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},  // 40
    {"LFO 1->S Warp",    "S Warp",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 1->S Res",     "S Res",      Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 1->Dec.",      "Dec",        Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 1->BufRate",   "BufRate",    Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 1->A Warp",    "A Warp",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},  // 45
    {"LFO 1->Fb Cutoff", "Fb Cut",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 2->S Warp",    "S Warp",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 2->S Res",     "S Res",      Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 2->Dec.",      "Dec",        Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 2->BufRate",   "BufRate",    Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},  // 50
    {"LFO 2->A Warp",    "A Warp",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"LFO 2->Fb Cutoff", "Fb Cut",     Kind::knob,       Law::routeDepth,   Display::plain,        0.5f},
    {"Out",              "Out",        Kind::knob,       Law::unit,         Display::plain,        1.0f},
    {"Mix",              "Mix",        Kind::knob,       Law::unit,         Display::plain,        0.5f},
    {"",                 "",           Kind::unused,     Law::unit,         Display::plain,        0.0f},  // 55
}};
// clang-format on

constexpr bool validIndex(int index) {
    return index >= 0 && index < kCount;
}

// The engine value of parameter `index` for a stored value, at the sample rate fs.
float engineValue(int index, float stored, float fs);

// The Sync parameter a time or rate follows ("Delay Sync" for "Delay", the
// LFO's Sync for its frequency), or -1.
int syncIndexOf(int index);

// The host's beat as a whole number of samples at rate fs and a tempo in BPM
// (a tempo that is not a finite positive number counts as 120).
std::int32_t samplesPerBeatAt(double fs, double tempo);

// A time rounded up to the beat grid of grid value `grid` (steps per beat);
// unchanged when the grid is below one step per beat or the time is not positive.
float syncRound(float seconds, float grid, float fs, std::int32_t samplesPerBeat);

// The number a knob's value box shows: the engine value `e`, except a synced
// time or rate, shown as the number of grid steps it spans. `storedSync` is
// the stored value of syncIndexOf(index).
float displayValue(int index, float e, float storedSync, float fs, std::int32_t samplesPerBeat);

// The formatter of a knob's value box; an LFO frequency's follows its sync
// menu. The split one gives a host the number and its unit apart.
formatters::Formatter knobFormatter(int index, float storedSync);
formatters::SplitFormatter knobSplitter(int index, float storedSync);

// The list an index-valued parameter chooses from (its size, 0 for the
// others, and its entries); the filter type's list is the display's eight.
int listSize(int index);
const char* listEntry(int index, int entry);
// The value stored when list entry `entry` is chosen.
float storedValueOfEntry(int index, int entry);
// The feedback filters' design rule: "Cutoff" (its engine value) in Hz, held
// to 0.001..1 and cubed, so 1 is the highest cutoff; "Resonance" as the Q of
// types 0..4 or the gain of the shelves and peaking (types 5..7).
constexpr float kHighestCutoffHz = 22000.0f;
constexpr int kFirstGainType = 5;
float feedbackCutoffHz(float cutoff);
float feedbackQ(float resonance);
float feedbackGain(float resonance);

// The design type of "Filter Type"'s engine value: the integer part of 0..10,
// where 9 and 10 (and anything else) design nothing (-1).
int feedbackType(float typeEngineValue);

// The filter type a stored "Filter Type" is read back as: the integer part of
// value x 10 + 0.5, or -1 for values no int can hold.
int filterTypeOfStored(float stored);

} // namespace param
