#include "common/value_text.h"

#include <cmath>
#include <cstdio>

namespace formatters {

namespace {

// Truncation toward zero as a C cast does it, kept inside the int range so that a huge or
// non-finite display value prints a bounded number instead of invoking undefined behaviour.
int truncated(float value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483647.0f) {
        return 2147483647;
    }
    if (value <= -2147483648.0f) {
        return -2147483647 - 1;
    }
    return static_cast<int>(value);
}

void setUnit(SplitText& text, const char* unit) {
    std::snprintf(text.unit, kTextSize, "%s", unit);
}

} // namespace

void splitDefault(float value, SplitText& text) {
    std::snprintf(text.value, kTextSize, "%2.2f", static_cast<double>(value));
    setUnit(text, "");
}

void splitCount(float value, SplitText& text) {
    std::snprintf(text.value, kTextSize, "%d", truncated(value));
    setUnit(text, "");
}

void splitMilliseconds(float value, SplitText& text) {
    std::snprintf(text.value, kTextSize, "%0.1f", static_cast<double>(value * 1000.0f));
    setUnit(text, "ms");
}

void splitHertz(float value, SplitText& text) {
    std::snprintf(text.value, kTextSize, "%0.2f", static_cast<double>(value));
    setUnit(text, "Hz");
}

void splitSyncRatio(float value, SplitText& text) {
    if (value > 0.0f) {
        std::snprintf(text.value, kTextSize, "%d", truncated(value));
    } else {
        std::snprintf(text.value, kTextSize, "--");
    }
    setUnit(text, "");
}

void splitTime(float value, SplitText& text) {
    if (value < 1.0f) {
        std::snprintf(text.value, kTextSize, "%0.2f", static_cast<double>(value * 1000.0f));
        setUnit(text, "ms");
    } else {
        std::snprintf(text.value, kTextSize, "%0.3f", static_cast<double>(value));
        setUnit(text, "s");
    }
}

void join(const SplitText& split, char* text) {
    std::size_t length = 0;
    auto append = [&](const char* part) {
        for (; *part != '\0' && length + 1 < kTextSize; ++part) {
            text[length++] = *part;
        }
    };
    append(split.value);
    if (split.unit[0] != '\0') {
        append(" ");
        append(split.unit);
    }
    text[length] = '\0';
}

namespace {

template <SplitFormatter splitter> void joined(float value, char* text) {
    SplitText split;
    splitter(value, split);
    join(split, text);
}

} // namespace

void formatDefault(float value, char* text) {
    joined<splitDefault>(value, text);
}
void formatCount(float value, char* text) {
    joined<splitCount>(value, text);
}
void formatMilliseconds(float value, char* text) {
    joined<splitMilliseconds>(value, text);
}
void formatHertz(float value, char* text) {
    joined<splitHertz>(value, text);
}
void formatSyncRatio(float value, char* text) {
    joined<splitSyncRatio>(value, text);
}
void formatTime(float value, char* text) {
    joined<splitTime>(value, text);
}

} // namespace formatters
