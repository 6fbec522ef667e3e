#pragma once

// The texts of the editor's value displays, and the same texts split into a
// number and its unit for hosts. Each formatter turns a display value (the
// number the effect reports for a parameter, in the unit the formatter
// expects) into its text. The joined forms have the shape of the toolkit's
// plain string converter, so a display can take one as its converter; they
// depend on nothing but the C library, so tools outside the plug-in show
// values exactly as the editor does.

#include <cstddef>

namespace formatters {

// Every formatter writes at most this many bytes, terminator included.
constexpr std::size_t kTextSize = 64;

// A value's text for a host: the number (or word) and its unit, "" for none.
struct SplitText {
    char value[kTextSize] = {};
    char unit[kTextSize] = {};
};

using Formatter = void (*)(float value, char* text);
using SplitFormatter = void (*)(float value, SplitText& text);

// "%2.2f", no unit: a display without a formatter of its own.
void splitDefault(float value, SplitText& text);
// A whole count (lattice stages): the value truncated toward zero.
void splitCount(float value, SplitText& text);
// Seconds as milliseconds with one decimal ("250.3", "ms").
void splitMilliseconds(float value, SplitText& text);
// A frequency in Hz with two decimals.
void splitHertz(float value, SplitText& text);
// A synced time in grid steps, truncated; "--" when there is none (0 or below).
void splitSyncRatio(float value, SplitText& text);
// Seconds below one in milliseconds, else in seconds; a value that is not a
// number takes the seconds branch, since it is not below one.
void splitTime(float value, SplitText& text);

// The editor's texts: the number and its unit joined by a space.
void formatDefault(float value, char* text);
void formatCount(float value, char* text);
void formatMilliseconds(float value, char* text);
void formatHertz(float value, char* text);
void formatSyncRatio(float value, char* text);
void formatTime(float value, char* text);

// The joined text of a split one.
void join(const SplitText& split, char* text);

} // namespace formatters
