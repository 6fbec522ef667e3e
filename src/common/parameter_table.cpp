#include "common/parameter_table.h"

#include <cmath>

namespace param {

float engineValue(int index, float stored, float fs) {
    if (!validIndex(index)) {
        return 0.0f;
    }
    // Continuous parameters are defined on 0..1; their engine values come from
    // the value held to that range, so no control value can leave the range the
    // components are built for.
    const float p = clampUnit(stored);
    switch (kParameters[static_cast<std::size_t>(index)].law) {
    case Law::unit:
        return p;
    case Law::stored:
        return stored; // a list index; its readers check the range
    case Law::blockSize:
        return ((fs - 17.0f) * p * p + 16.0f) / fs;
    case Law::stages:
        return kStageSpan * p + 1.0f;
    case Law::smoothing:
        return 0.1f * p;
    case Law::bufferRate:
        return p < 0.5f ? p + 0.5f : 2.0f * p;
    case Law::filterType:
        return kFilterTypeScale * stored; // the type index, kept in single precision
    case Law::cubeSeconds:
        return p * p * p;
    case Law::twoCubes:
        return 2.0f * p * p * p;
    case Law::lfoFrequency:
        return 20.0f * p * p;
    case Law::routeDepth:
        return 2.0f * p - 1.0f;
    }
    return p;
}

int syncIndexOf(int index) {
    switch (index) {
    case kDelay:
        return kDelaySync;
    case kLfo1Freq:
        return kLfo1Sync;
    case kLfo2Freq:
        return kLfo2Sync;
    default:
        return -1;
    }
}

std::int32_t samplesPerBeatAt(double fs, double tempo) {
    if (!(tempo > 0.0) || !std::isfinite(tempo)) {
        tempo = 120.0;
    }
    const double beatsPerSecond = tempo * (1.0 / 60.0);
    const double samples = fs * (1.0 / beatsPerSecond);
    // At least one sample per beat; an absurdly slow tempo is capped below int overflow.
    if (!(samples >= 1.0)) {
        return 1;
    }
    if (samples >= 2147483647.0) {
        return 2147483647;
    }
    return static_cast<std::int32_t>(samples);
}

float syncRound(float seconds, float grid, float fs, std::int32_t samplesPerBeat) {
    if (seconds > 0.0f && grid >= 1.0f) {
        const auto spb = static_cast<float>(samplesPerBeat);
        const float steps = std::ceil(seconds * fs * grid / spb);
        return steps * (spb / grid) / fs;
    }
    return seconds;
}

float displayValue(int index, float e, float storedSync, float fs, std::int32_t samplesPerBeat) {
    const int sync = syncIndexOf(index);
    if (sync < 0) {
        return e;
    }
    // A synced time is shown as the number of grid steps it spans; a division
    // below one step per beat ("4/1") runs free and shows its free value.
    const float grid = syncGridValue(storedSync);
    auto gridSteps = [&](float seconds) {
        return syncRound(seconds, grid, fs, samplesPerBeat) / syncRound(1e-12f, grid, fs, samplesPerBeat);
    };
    if (index == kDelay) {
        return grid >= 1.0f ? gridSteps(e) : e;
    }
    return grid >= 1.0f && e > 0.0f ? gridSteps(1.0f / e) : e;
}

namespace {

// A knob's format, in its two forms: split into value and unit, and joined.
struct KnobFormat {
    formatters::SplitFormatter split;
    formatters::Formatter joined;
};

KnobFormat knobFormat(int index, float storedSync) {
    using namespace formatters;
    if (!validIndex(index)) {
        return {splitDefault, formatDefault};
    }
    switch (kParameters[static_cast<std::size_t>(index)].display) {
    case Display::count:
        return {splitCount, formatCount};
    case Display::milliseconds:
        return {splitMilliseconds, formatMilliseconds};
    case Display::time:
        return {splitTime, formatTime};
    case Display::lfoFrequency:
        // A sync menu's value is its entry index: "off" is 0.
        return storedSync < 0.5f ? KnobFormat{splitHertz, formatHertz}
                                 : KnobFormat{splitSyncRatio, formatSyncRatio};
    case Display::plain:
        break;
    }
    return {splitDefault, formatDefault};
}

} // namespace

formatters::SplitFormatter knobSplitter(int index, float storedSync) {
    return knobFormat(index, storedSync).split;
}

formatters::Formatter knobFormatter(int index, float storedSync) {
    return knobFormat(index, storedSync).joined;
}

int listSize(int index) {
    if (!validIndex(index)) {
        return 0;
    }
    switch (kParameters[static_cast<std::size_t>(index)].kind) {
    case Kind::division:
        return kSyncDivisionCount;
    case Kind::shape:
        return kShapeCount;
    case Kind::filterType:
        return kFilterTypeCount;
    default:
        return 0;
    }
}

const char* listEntry(int index, int entry) {
    if (entry < 0 || entry >= listSize(index)) {
        return "";
    }
    const auto at = static_cast<std::size_t>(entry);
    switch (kParameters[static_cast<std::size_t>(index)].kind) {
    case Kind::division:
        return kDivisionNames[at];
    case Kind::shape:
        return kShapeNames[at];
    default:
        return kFilterTypeNames[at];
    }
}

float storedValueOfEntry(int index, int entry) {
    // The filter display sends its type as type x 0.1, rounded to single precision.
    if (validIndex(index) && kParameters[static_cast<std::size_t>(index)].kind == Kind::filterType) {
        return static_cast<float>(static_cast<double>(static_cast<float>(entry)) * 0.1);
    }
    return static_cast<float>(entry);
}

int feedbackType(float typeEngineValue) {
    return typeEngineValue >= 0.0f && typeEngineValue < 11.0f ? static_cast<int>(typeEngineValue) : -1;
}

float feedbackCutoffHz(float cutoff) {
    float c = cutoff;
    if (c > 1.0f) {
        c = 1.0f;
    }
    if (c <= 0.001f) {
        c = 0.001f;
    }
    return c * c * c * kHighestCutoffHz;
}

float feedbackQ(float resonance) {
    return 10.0f * resonance * resonance + 1e-10f;
}

float feedbackGain(float resonance) {
    return 2.0f * resonance;
}

int filterTypeOfStored(float stored) {
    const float scaled = stored * kFilterTypeScale + 0.5f;
    if (!(scaled > -1000.0f && scaled < 1000.0f)) {
        return -1;
    }
    return static_cast<int>(scaled);
}

} // namespace param
