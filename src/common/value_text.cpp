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

} // namespace

void formatDefault(float value, char* text) {
    std::snprintf(text, kTextSize, "%2.2f", static_cast<double>(value));
}

void formatCount(float value, char* text) {
    std::snprintf(text, kTextSize, "%d", truncated(value));
}

void formatMilliseconds(float value, char* text) {
    std::snprintf(text, kTextSize, "%0.1f ms", static_cast<double>(value * 1000.0f));
}

void formatHertz(float value, char* text) {
    std::snprintf(text, kTextSize, "%0.2f Hz", static_cast<double>(value));
}

void formatSyncRatio(float value, char* text) {
    if (value > 0.0f) {
        std::snprintf(text, kTextSize, "%d", truncated(value));
    } else {
        std::snprintf(text, kTextSize, "--");
    }
}

void formatTime(float value, char* text) {
    if (value < 1.0f) {
        std::snprintf(text, kTextSize, "%0.2f ms", static_cast<double>(value * 1000.0f));
    } else {
        std::snprintf(text, kTextSize, "%0.3f s", static_cast<double>(value));
    }
}

} // namespace formatters
