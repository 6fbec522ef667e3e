#include "render/vornhalt_parameters.h"

#include <cmath>
#include <cstdio>

#include "common/parameter_table.h"
#include "common/parameter_text.h"
#include "common/value_text.h"

namespace vrender {

namespace {

std::string unlisted(float value) {
    char text[64];
    std::snprintf(text, sizeof text, "(no entry: %g)", static_cast<double>(value));
    return text;
}

float syncOf(const float* stored, int index) {
    const int sync = param::syncIndexOf(index);
    return sync >= 0 ? stored[sync] : 0.0f;
}

} // namespace

ParameterKind parameterKind(int index) {
    if (!param::validIndex(index)) {
        return ParameterKind::Hidden;
    }
    switch (param::kParameters[static_cast<std::size_t>(index)].kind) {
    case param::Kind::unused:
        return ParameterKind::Hidden;
    case param::Kind::division:
        return ParameterKind::Division;
    case param::Kind::shape:
        return ParameterKind::Shape;
    case param::Kind::filterType:
        return ParameterKind::FilterType;
    case param::Kind::toggle:
        return ParameterKind::Switch;
    case param::Kind::knob:
        break;
    }
    return ParameterKind::Continuous;
}

int listSize(int index) {
    return param::listSize(index);
}

std::string_view listEntry(int index, int entry) {
    return param::listEntry(index, entry);
}

float storedValueOfEntry(int index, int entry) {
    return param::storedValueOfEntry(index, entry);
}

std::optional<int> findListEntry(int index, std::string_view text) {
    const int entry = param::listEntryOfName(index, text);
    return entry >= 0 ? std::optional<int>(entry) : std::nullopt;
}

std::int32_t samplesPerBeat(const DisplayContext& context) {
    return param::samplesPerBeatAt(static_cast<double>(context.sampleRate), context.tempo);
}

float syncRound(float seconds, float grid, const DisplayContext& context) {
    return param::syncRound(seconds, grid, context.sampleRate, samplesPerBeat(context));
}

float syncGridValue(float storedSync) {
    return param::syncGridValue(storedSync);
}

float engineValue(const float* stored, int index, const DisplayContext& context) {
    return param::validIndex(index) ? param::engineValue(index, stored[index], context.sampleRate) : 0.0f;
}

float displayValue(const float* stored, int index, const DisplayContext& context) {
    return param::displayValue(index, engineValue(stored, index, context), syncOf(stored, index),
                               context.sampleRate, samplesPerBeat(context));
}

std::string editorText(const float* stored, int index, const DisplayContext& context) {
    using namespace param;
    if (!validIndex(index)) {
        return {};
    }
    const float value = stored[index];
    switch (parameterKind(index)) {
    case ParameterKind::Hidden:
        return "-";
    case ParameterKind::Division:
    case ParameterKind::Shape:
    case ParameterKind::FilterType:
        if (shownEntry(index, value) < 0) {
            return unlisted(value);
        }
        break;
    case ParameterKind::Continuous:
    case ParameterKind::Switch:
        break;
    }
    // A knob's value box names no unit beyond its format's.
    TextContext text;
    text.stored = value;
    text.display = displayValue(stored, index, context);
    text.storedSync = syncOf(stored, index);
    text.filterType = engineValue(stored, kFilterType, context);
    formatters::SplitText split;
    parameterText(index, text, split, false);
    char joined[formatters::kTextSize];
    formatters::join(split, joined);
    return joined;
}

} // namespace vrender
