#pragma once

// A parameter's value as text, both ways: the text the editor shows, split
// into a value and a unit for hosts' generic controls, and the stored value a
// typed text stands for (hosts that offer typed entry send it back). Both
// follow the parameter table's laws and formats.

#include <cstdint>
#include <string_view>

#include "common/parameter_table.h"
#include "common/value_text.h"

namespace param {

// What a parameter's text depends on besides the parameter itself.
struct TextContext {
    float stored = 0.0f;     // the parameter's stored value
    float display = 0.0f;    // its displayValue
    float storedSync = 0.0f; // the stored value of its Sync parameter, if it has one
    float filterType = 0.0f; // the engine value of "Filter Type" (Resonance is a Q or a gain)
    float sampleRate = 44100.0f;
    std::int32_t samplesPerBeat = 22050;
};

// The text the editor shows for parameter `index` (a knob's value box, a
// menu's entry, a button's "on"/"off", the filter display's type; its cutoff
// in Hz and its resonance as a Q or a gain), as a value and a unit. A value no
// control can show is given as its number.
// Without `hostUnit`, a knob's text names no unit beyond its format's (the
// editor's value box); hosts get the table's unit too ("s" for a time in seconds).
void parameterText(int index, const TextContext& context, formatters::SplitText& out, bool hostUnit = true);

// The list entry a menu or the filter display shows for a stored value, or -1
// when it shows none (or the parameter has no list).
int shownEntry(int index, float stored);

// The list entry named `name` (in any case), or -1.
int listEntryOfName(int index, std::string_view name);

// The stored value `text` stands for: what parameterText writes (with or
// without its unit), a number with another unit of the same kind ("ms", "s",
// "Hz", "kHz"), a list entry's name or index, "on"/"off". Without a unit a
// number is read in the unit the display would give it. False for a text that
// stands for nothing; values beyond a parameter's range are held to it.
bool storedValueOfText(int index, const char* text, const TextContext& context, float& stored);

} // namespace param
