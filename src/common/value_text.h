#pragma once

// The text formatters of the editor's value displays. Each turns a display value (the number the
// effect reports for a parameter, in the unit the formatter expects) into the text a display shows.
// They have the shape of the toolkit's plain string converter, so a display can take one as its
// converter; they depend on nothing but the C library, so tools outside the plug-in show values
// exactly as the editor does.

#include <cstddef>

namespace formatters {

// Every formatter writes at most this many bytes, terminator included.
constexpr std::size_t kTextSize = 64;

using Formatter = void (*)(float value, char* text);

// A display without a formatter of its own: "%2.2f".
void formatDefault(float value, char* text);
// A whole count (lattice stages): the value truncated toward zero.
void formatCount(float value, char* text);
// Seconds shown as milliseconds with one decimal ("250.3 ms").
void formatMilliseconds(float value, char* text);
// A frequency in Hz with two decimals.
void formatHertz(float value, char* text);
// A synced time in grid steps, truncated; "--" when there is none (0 or below).
void formatSyncRatio(float value, char* text);
// Seconds below one shown in milliseconds, else in seconds; a value that is not a number takes the
// seconds branch, since it is not below one.
void formatTime(float value, char* text);

} // namespace formatters
