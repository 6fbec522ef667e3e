#include "common/parameter_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace param {

namespace {

void setText(formatters::SplitText& out, const char* value, const char* unit = "") {
    std::snprintf(out.value, formatters::kTextSize, "%s", value);
    std::snprintf(out.unit, formatters::kTextSize, "%s", unit);
}

// A menu takes the integer part of its value as its entry; -1 for none.
int menuEntry(float value, int size) {
    if (!(value > -1.0f) || !(value < static_cast<float>(size))) {
        return -1;
    }
    return static_cast<int>(value);
}

void knobText(int index, const TextContext& context, formatters::SplitText& out, bool hostUnit) {
    if (index == kCutoff) {
        formatters::splitHertz(feedbackCutoffHz(context.display), out);
        return;
    }
    if (index == kResonance) {
        char text[formatters::kTextSize];
        if (feedbackType(context.filterType) < kFirstGainType) {
            std::snprintf(text, sizeof text, "Q %.2f", static_cast<double>(feedbackQ(context.display)));
        } else {
            std::snprintf(text, sizeof text, "gain %.2f", static_cast<double>(feedbackGain(context.display)));
        }
        setText(out, text);
        return;
    }
    knobSplitter(index, context.storedSync)(context.display, out);
    const bool synced = syncIndexOf(index) >= 0 && syncGridValue(context.storedSync) >= 1.0f;
    if (hostUnit && out.unit[0] == '\0' && !synced) {
        std::snprintf(out.unit, formatters::kTextSize, "%s",
                      kParameters[static_cast<std::size_t>(index)].unit);
    }
}

} // namespace

int shownEntry(int index, float stored) {
    if (!validIndex(index)) {
        return -1;
    }
    switch (kParameters[static_cast<std::size_t>(index)].kind) {
    case Kind::division:
    case Kind::shape:
        return menuEntry(stored, listSize(index));
    case Kind::filterType: {
        const int type = filterTypeOfStored(stored);
        return type >= 0 && type < listSize(index) ? type : -1;
    }
    default:
        return -1;
    }
}

void parameterText(int index, const TextContext& context, formatters::SplitText& out, bool hostUnit) {
    if (!validIndex(index)) {
        setText(out, "");
        return;
    }
    switch (kParameters[static_cast<std::size_t>(index)].kind) {
    case Kind::knob:
        knobText(index, context, out, hostUnit);
        return;
    case Kind::toggle:
        // The button shows its "on" frame for any value but 0.
        setText(out, context.stored != 0.0f ? "on" : "off");
        return;
    case Kind::division:
    case Kind::shape:
    case Kind::filterType: {
        const int entry = shownEntry(index, context.stored);
        if (entry >= 0) {
            setText(out, listEntry(index, entry));
            return;
        }
        break;
    }
    case Kind::unused:
        break;
    }
    formatters::splitDefault(context.stored, out);
}

// ---------------------------------------------------------------- typed text

namespace {

std::string lowered(const std::string& text) {
    std::string out;
    for (char c : text) {
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string trimmed(const char* text) {
    std::string s(text);
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// A number with an optional unit after it ("250", "250 ms", "0.25s", "Q 2.5"
// has its word first and is read apart). `decimals` counts the digits after the point.
struct Quantity {
    double number = 0.0;
    std::string unit; // lower case, "" for none
    int decimals = 0;
};

bool readQuantity(const std::string& text, Quantity& out) {
    const char* begin = text.c_str();
    char* end = nullptr;
    out.number = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(out.number)) {
        return false;
    }
    const char* point = std::strchr(begin, '.');
    out.decimals = point != nullptr && point < end ? static_cast<int>(end - point - 1) : 0;
    out.unit = lowered(trimmed(end));
    return true;
}

float unitRange(double p) {
    return static_cast<float>(p <= 0.0 ? 0.0 : (p >= 1.0 ? 1.0 : p));
}

// Seconds from a time typed in seconds or milliseconds; `bareIsSeconds`
// decides a number without a unit.
bool secondsOf(const Quantity& q, bool bareIsSeconds, double& seconds) {
    if (q.unit == "s") {
        seconds = q.number;
    } else if (q.unit == "ms") {
        seconds = q.number / 1000.0;
    } else if (q.unit.empty()) {
        seconds = bareIsSeconds ? q.number : q.number / 1000.0;
    } else {
        return false;
    }
    return true;
}

bool hertzOf(const Quantity& q, double& hertz) {
    if (q.unit == "hz" || q.unit.empty()) {
        hertz = q.number;
    } else if (q.unit == "khz") {
        hertz = q.number * 1000.0;
    } else {
        return false;
    }
    return true;
}

// The free length of `steps` grid steps, half a step short so that rounding up
// to the grid lands on `steps` itself.
double gridSeconds(double steps, float storedSync, const TextContext& context) {
    const double step = static_cast<double>(context.samplesPerBeat) / syncGridValue(storedSync);
    return (steps - 0.5) * step / static_cast<double>(context.sampleRate);
}

bool synced(int index, const TextContext& context) {
    return syncIndexOf(index) >= 0 && syncGridValue(context.storedSync) >= 1.0f;
}

bool listValueOfText(int index, const std::string& text, float& stored) {
    if (const int entry = listEntryOfName(index, text); entry >= 0) {
        stored = storedValueOfEntry(index, entry);
        return true;
    }
    Quantity q;
    if (readQuantity(text, q) && q.unit.empty() && q.number >= 0.0 && q.number < listSize(index) &&
        q.number == std::floor(q.number)) {
        stored = storedValueOfEntry(index, static_cast<int>(q.number));
        return true;
    }
    return false;
}

bool resonanceOfText(const std::string& text, const TextContext& context, float& stored) {
    std::string rest = lowered(text);
    bool gain = feedbackType(context.filterType) >= kFirstGainType;
    if (rest.rfind("q", 0) == 0) {
        gain = false;
        rest = rest.substr(1);
    } else if (rest.rfind("gain", 0) == 0) {
        gain = true;
        rest = rest.substr(4);
    }
    Quantity q;
    if (!readQuantity(trimmed(rest.c_str()), q) || !q.unit.empty()) {
        return false;
    }
    // Q = 10 r^2 + 1e-10 for the passes and the notch, gain = 2 r for the shelves and peaking.
    stored = unitRange(gain ? q.number / 2.0 : std::sqrt(std::fmax(q.number - 1e-10, 0.0) / 10.0));
    return true;
}

// The stored value of a knob for a number read in its display's unit.
bool knobValueOfQuantity(int index, const Quantity& q, const TextContext& context, float& stored) {
    const double fs = context.sampleRate;
    double seconds = 0.0;
    double hertz = 0.0;
    switch (kParameters[static_cast<std::size_t>(index)].law) {
    case Law::blockSize:
        if (!secondsOf(q, false, seconds)) {
            return false;
        }
        stored = unitRange(std::sqrt(std::fmax(seconds * fs - 16.0, 0.0) / (fs - 17.0)));
        return true;
    case Law::stages: // the display truncates: aim at the middle of the count
        stored = unitRange((std::round(q.number) - 0.5) / static_cast<double>(kStageSpan));
        return q.unit.empty();
    case Law::smoothing:
        if (!secondsOf(q, true, seconds)) {
            return false;
        }
        stored = unitRange(seconds / 0.1);
        return true;
    case Law::bufferRate:
        stored = unitRange(q.number < 1.0 ? q.number - 0.5 : q.number / 2.0);
        return q.unit.empty() || q.unit == "x";
    case Law::cubeSeconds:
    case Law::twoCubes: {
        // Shown in milliseconds with two decimals below a second, in seconds with three above.
        if (!secondsOf(q, q.decimals == 3, seconds)) {
            return false;
        }
        const double scale = kParameters[static_cast<std::size_t>(index)].law == Law::twoCubes ? 2.0 : 1.0;
        stored = unitRange(std::cbrt(std::fmax(seconds, 0.0) / scale));
        return true;
    }
    case Law::lfoFrequency:
        if (synced(index, context)) {
            if (!q.unit.empty() || q.number < 1.0) {
                return false;
            }
            hertz = 1.0 / gridSeconds(std::round(q.number), context.storedSync, context);
        } else if (!hertzOf(q, hertz)) {
            return false;
        }
        stored = unitRange(std::sqrt(std::fmax(hertz, 0.0) / 20.0));
        return true;
    case Law::routeDepth:
        stored = unitRange((q.number + 1.0) / 2.0);
        return q.unit.empty();
    default:
        break;
    }
    if (index == kDelay) {
        if (synced(index, context)) {
            stored = unitRange(gridSeconds(std::round(q.number), context.storedSync, context));
            return q.unit.empty() && q.number >= 1.0;
        }
        if (!secondsOf(q, true, seconds)) {
            return false;
        }
        stored = unitRange(seconds);
        return true;
    }
    if (index == kCutoff) {
        if (!hertzOf(q, hertz)) {
            return false;
        }
        stored = unitRange(std::cbrt(std::fmax(hertz, 0.0) / kHighestCutoffHz));
        return true;
    }
    stored = unitRange(q.number);
    return q.unit.empty();
}

} // namespace

bool storedValueOfText(int index, const char* text, const TextContext& context, float& stored) {
    if (!validIndex(index) || text == nullptr) {
        return false;
    }
    const std::string typed = trimmed(text);
    if (typed.empty()) {
        return false;
    }
    const Kind kind = kParameters[static_cast<std::size_t>(index)].kind;
    if (kind == Kind::division || kind == Kind::shape || kind == Kind::filterType) {
        return listValueOfText(index, typed, stored);
    }
    if (kind == Kind::toggle) {
        const std::string word = lowered(typed);
        if (word == "on" || word == "off") {
            stored = word == "on" ? 1.0f : 0.0f;
            return true;
        }
    }
    if (index == kResonance) {
        return resonanceOfText(typed, context, stored);
    }
    Quantity q;
    if (!readQuantity(typed, q)) {
        return false;
    }
    if (kind == Kind::toggle || kind == Kind::unused) {
        stored = kind == Kind::toggle ? (q.number != 0.0 ? 1.0f : 0.0f) : static_cast<float>(q.number);
        return q.unit.empty();
    }
    return knobValueOfQuantity(index, q, context, stored);
}

int listEntryOfName(int index, std::string_view name) {
    const std::string wanted = lowered(std::string(name));
    for (int entry = 0; entry < listSize(index); ++entry) {
        if (lowered(listEntry(index, entry)) == wanted) {
            return entry;
        }
    }
    return -1;
}

} // namespace param
