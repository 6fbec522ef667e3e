#include "render/vornhalt_parameters.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "editor/formatters.h"

namespace vrender {

namespace {

constexpr int kBlockSize = 1, kStages = 2, kSmoothing = 3, kDecimation = 10, kBufferRate = 11;
constexpr int kDelay = 16, kFilterType = 18, kCutoff = 19, kResonance = 20, kDelaySync = 21;
constexpr int kEnvAttack = 23, kEnvRelease = 24, kLfo1Shape = 25, kLfo1Sync = 26, kLfo1Freq = 27;
constexpr int kLfo2Shape = 30, kLfo2Sync = 31, kLfo2Freq = 32, kFirstRoute = 35, kLastRoute = 52;
constexpr int kEnvToSRes = 36;

// Steps per beat of each division, as single-precision values like the plug-in keeps them.
constexpr std::array<float, 15> kDivisionGrid = {
    0.0f,  0.25f, 1.0f,  2.0f,  4.0f,        8.0f,         16.0f,        32.0f,
    64.0f, 6.0f,  12.0f, 24.0f, 8.0f / 3.0f, 16.0f / 3.0f, 32.0f / 3.0f,
};
constexpr std::array<std::string_view, 15> kDivisionNames = {
    "off",  "4/1",   "1/1",   "1/2",    "1/4",   "1/8",   "1/16",   "1/32",
    "1/64", "1/4 T", "1/8 T", "1/16 T", "1/4 D", "1/8 D", "1/16 D",
};
constexpr std::array<std::string_view, 8> kShapeNames = {"sine",   "tri", "saw up", "saw dn",
                                                         "square", "exp", "s & h",  "rand"};
constexpr std::array<std::string_view, 8> kFilterTypeNames = {
    "Lowpass", "Highpass", "Bandpass", "Bandstop", "Allpass", "Low Shelf", "High Shelf", "Peaking"};

float clampUnit(float v) {
    return v <= 0.0f ? 0.0f : (v >= 1.0f ? 1.0f : v);
}

bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// A menu takes the integer part of its value as its entry; anything outside the list leaves it
// showing nothing new, which -1 stands for here.
int menuEntry(float value, int size) {
    if (!(value > -1.0f) || !(value < static_cast<float>(size))) {
        return -1;
    }
    return static_cast<int>(value);
}

std::string format(formatters::Formatter formatter, float value) {
    char text[formatters::kTextSize] = {};
    formatter(value, text);
    return text;
}

std::string unlisted(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "(no entry: %g)", static_cast<double>(value));
    return text;
}

} // namespace

ParameterKind parameterKind(int index) {
    switch (index) {
    case 0:
    case 7:
    case 8:
    case 12:
    case 28:
    case 33:
    case 55:
        return ParameterKind::Hidden;
    case kDelaySync:
    case kLfo1Sync:
    case kLfo2Sync:
        return ParameterKind::Division;
    case kLfo1Shape:
    case kLfo2Shape:
        return ParameterKind::Shape;
    case kFilterType:
        return ParameterKind::FilterType;
    case 22:
    case 29:
    case 34:
        return ParameterKind::Switch;
    default:
        return ParameterKind::Continuous;
    }
}

int listSize(int index) {
    switch (parameterKind(index)) {
    case ParameterKind::Division:
        return static_cast<int>(kDivisionNames.size());
    case ParameterKind::Shape:
        return static_cast<int>(kShapeNames.size());
    case ParameterKind::FilterType:
        return static_cast<int>(kFilterTypeNames.size());
    default:
        return 0;
    }
}

std::string_view listEntry(int index, int entry) {
    if (entry < 0 || entry >= listSize(index)) {
        return {};
    }
    switch (parameterKind(index)) {
    case ParameterKind::Division:
        return kDivisionNames[static_cast<std::size_t>(entry)];
    case ParameterKind::Shape:
        return kShapeNames[static_cast<std::size_t>(entry)];
    default:
        return kFilterTypeNames[static_cast<std::size_t>(entry)];
    }
}

float storedValueOfEntry(int index, int entry) {
    // The filter display sends its type as type x 0.1, rounded to single precision.
    if (parameterKind(index) == ParameterKind::FilterType) {
        return static_cast<float>(entry * 0.1);
    }
    return static_cast<float>(entry);
}

std::optional<int> findListEntry(int index, std::string_view text) {
    for (int i = 0; i < listSize(index); ++i) {
        if (sameText(listEntry(index, i), text)) {
            return i;
        }
    }
    return std::nullopt;
}

std::int32_t samplesPerBeat(const DisplayContext& context) {
    double tempo = context.tempo;
    if (!(tempo > 0.0) || !std::isfinite(tempo)) {
        tempo = 120.0;
    }
    const double beatsPerSecond = tempo * (1.0 / 60.0);
    const double samples = static_cast<double>(context.sampleRate) * (1.0 / beatsPerSecond);
    if (!(samples >= 1.0)) {
        return 1;
    }
    if (samples >= 2147483647.0) {
        return 2147483647;
    }
    return static_cast<std::int32_t>(samples);
}

float syncRound(float seconds, float grid, const DisplayContext& context) {
    if (seconds > 0.0f && grid >= 1.0f) {
        const float fs = context.sampleRate;
        const float spb = static_cast<float>(samplesPerBeat(context));
        const float steps = std::ceil(seconds * fs * grid / spb);
        return steps * (spb / grid) / fs;
    }
    return seconds;
}

float syncGridValue(float storedSync) {
    if (!(storedSync >= 0.0f) || storedSync >= static_cast<float>(kDivisionGrid.size())) {
        return 0.0f;
    }
    return kDivisionGrid[static_cast<std::size_t>(storedSync)];
}

float engineValue(const float* stored, int index, const DisplayContext& context) {
    if (index < 0 || index >= kVornhaltParameterCount) {
        return 0.0f;
    }
    const float value = stored[index];
    const float p = clampUnit(value);
    switch (index) {
    case kBlockSize: {
        const float fs = context.sampleRate;
        return ((fs - 17.0f) * p * p + 16.0f) / fs;
    }
    case kStages:
        return 69.0f * p + 1.0f;
    case kSmoothing:
        return 0.1f * p;
    case kDecimation:
        return p;
    case kBufferRate:
        return p < 0.5f ? p + 0.5f : 2.0f * p;
    case kFilterType:
        return 10.0f * value;
    case kEnvAttack:
        return p * p * p;
    case kEnvRelease:
        return 2.0f * p * p * p;
    case kLfo1Freq:
    case kLfo2Freq:
        return 20.0f * p * p;
    case kLfo1Shape:
    case kLfo2Shape:
    case kDelaySync:
    case kLfo1Sync:
    case kLfo2Sync:
        return value; // a list index, used as stored
    default:
        if (index >= kFirstRoute && index <= kLastRoute) {
            return index == kEnvToSRes ? p : 2.0f * p - 1.0f;
        }
        return p;
    }
}

float displayValue(const float* stored, int index, const DisplayContext& context) {
    const float e = engineValue(stored, index, context);
    auto gridSteps = [&context](float seconds, float grid) {
        return syncRound(seconds, grid, context) / syncRound(1e-12f, grid, context);
    };
    if (index == kDelay) {
        const float grid = syncGridValue(stored[kDelaySync]);
        if (grid >= 1.0f) {
            return gridSteps(e, grid);
        }
    } else if (index == kLfo1Freq || index == kLfo2Freq) {
        const float grid = syncGridValue(stored[index == kLfo1Freq ? kLfo1Sync : kLfo2Sync]);
        if (grid >= 1.0f && e > 0.0f) {
            return gridSteps(1.0f / e, grid);
        }
    }
    return e;
}

std::string editorText(const float* stored, int index, const DisplayContext& context) {
    using namespace formatters;
    if (index < 0 || index >= kVornhaltParameterCount) {
        return {};
    }
    const float value = stored[index];
    switch (parameterKind(index)) {
    case ParameterKind::Hidden:
        return "-";
    case ParameterKind::Switch:
        // The button shows its "on" frame for any value but 0.
        return value != 0.0f ? "on" : "off";
    case ParameterKind::Division:
    case ParameterKind::Shape: {
        const int entry = menuEntry(value, listSize(index));
        return entry < 0 ? unlisted(value) : std::string(listEntry(index, entry));
    }
    case ParameterKind::FilterType: {
        // The filter display reads the type back rounded: integer part of value x 10 + 0.5.
        const float rounded = value * 10.0f + 0.5f;
        const int type = rounded >= 0.0f && rounded < 1000.0f ? static_cast<int>(rounded) : -1;
        if (type < 0 || type >= listSize(index)) {
            return unlisted(value);
        }
        return std::string(listEntry(index, type));
    }
    case ParameterKind::Continuous:
        break;
    }

    const float shown = displayValue(stored, index, context);
    switch (index) {
    case kStages:
        return format(formatCount, shown);
    case kBlockSize:
        return format(formatMilliseconds, shown);
    case kEnvAttack:
    case kEnvRelease:
        return format(formatTime, shown);
    case kLfo1Freq:
    case kLfo2Freq: {
        // The frequency display follows its sync menu: Hz while "off", grid steps otherwise.
        const float sync = stored[index == kLfo1Freq ? kLfo1Sync : kLfo2Sync];
        return format(sync < 0.5f ? formatHertz : formatSyncRatio, shown);
    }
    case kCutoff: {
        float c = engineValue(stored, kCutoff, context);
        c = c > 1.0f ? 1.0f : (c <= 0.001f ? 0.001f : c);
        return format(formatHertz, c * c * c * 22000.0f);
    }
    case kResonance: {
        const float typeValue = engineValue(stored, kFilterType, context);
        const int type = typeValue >= 0.0f && typeValue < 11.0f ? static_cast<int>(typeValue) : -1;
        const float r = engineValue(stored, kResonance, context);
        char text[64];
        if (type < 5) {
            std::snprintf(text, sizeof text, "Q %.2f", static_cast<double>(10.0f * r * r + 1e-10f));
        } else {
            std::snprintf(text, sizeof text, "gain %.2f", static_cast<double>(2.0f * r));
        }
        return text;
    }
    default:
        return format(formatDefault, shown);
    }
}

} // namespace vrender
