#include "render/vornhalt_parameters.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "common/parameter_table.h"
#include "common/parameter_text.h"
#include "common/value_text.h"

namespace vrender {

namespace {

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
    for (int i = 0; i < listSize(index); ++i) {
        if (sameText(listEntry(index, i), text)) {
            return i;
        }
    }
    return std::nullopt;
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
        if (menuEntry(value, listSize(index)) < 0) {
            return unlisted(value);
        }
        break;
    case ParameterKind::FilterType: {
        const int type = filterTypeOfStored(value);
        if (type < 0 || type >= listSize(index)) {
            return unlisted(value);
        }
        break;
    }
    case ParameterKind::Continuous:
        if (index != kCutoff && index != kResonance) {
            // A knob's value box: the editor's own text, which names no unit beyond its format's.
            return format(knobFormatter(index, syncOf(stored, index)), displayValue(stored, index, context));
        }
        break;
    case ParameterKind::Switch:
        break;
    }
    TextContext text;
    text.stored = value;
    text.display = displayValue(stored, index, context);
    text.storedSync = syncOf(stored, index);
    text.filterType = engineValue(stored, kFilterType, context);
    formatters::SplitText split;
    parameterText(index, text, split);
    char joined[formatters::kTextSize];
    formatters::join(split, joined);
    return joined;
}

} // namespace vrender
