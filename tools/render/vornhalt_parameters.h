#pragma once

// What the renderer knows of Vornhalt's parameters beyond the binary interface, read from the
// plug-in's parameter table: which indices hold a list index instead of a 0..1 value, the texts of
// those lists, and how the editor shows each value. The renderer derives the editor's number from
// the stored values with the table's value laws and tempo-grid rounding, and formats it with the
// editor's formatters.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vrender {

constexpr int kVornhaltParameterCount = 56;
// 'VRHT' as a big-endian four-character code.
constexpr std::int32_t kVornhaltUniqueId = ('V' << 24) | ('R' << 16) | ('H' << 8) | 'T';

enum class ParameterKind {
    Continuous, // a 0..1 value under a knob
    Division,   // a tempo-sync division, stored as its list index (menu)
    Shape,      // an LFO shape, stored as its list index (menu)
    FilterType, // the feedback filter type, stored as type / 10 (the filter display's menu)
    Switch,     // a two-state button; stores 0 or 1
    Hidden,     // stored and saved, but no control of the editor shows it
};

ParameterKind parameterKind(int index);

// The entries of the list an index-valued parameter chooses from; 0 for the others.
int listSize(int index);
// The text of entry `entry` of that list (menu text or filter type name); empty when out of range.
std::string_view listEntry(int index, int entry);
// The value the editor stores when list entry `entry` is chosen.
float storedValueOfEntry(int index, int entry);
// The entry whose text matches (case-insensitively), if any.
std::optional<int> findListEntry(int index, std::string_view text);

// The timing a display value depends on: the effect's working rate and the host's tempo.
struct DisplayContext {
    float sampleRate = 44100.0f;
    double tempo = 120.0;
};

// The plug-in's whole number of samples per beat at this rate and tempo.
std::int32_t samplesPerBeat(const DisplayContext& context);
// A time rounded up to the beat grid of grid value `grid` (steps per beat); unchanged when `grid`
// is below one step per beat or the time is not positive.
float syncRound(float seconds, float grid, const DisplayContext& context);
// The grid value a stored Sync value selects; 0 ("off") for anything that names no division.
float syncGridValue(float storedSync);

// The engine value of parameter `index` derived from the stored values (all 56 of them).
float engineValue(const float* stored, int index, const DisplayContext& context);
// The number the editor's display of `index` shows: the engine value, except the three synced
// times, which show the number of grid steps the rounded time spans.
float displayValue(const float* stored, int index, const DisplayContext& context);
// The text the editor shows for `index`: a knob's display through its formatter, a menu's entry,
// a button's state, the filter type's name. Cutoff and resonance, drawn by the editor as the
// filter curve, are given as the filter's frequency and its Q (or shelf/peak gain). "-" for the
// indices no control shows.
std::string editorText(const float* stored, int index, const DisplayContext& context);

} // namespace vrender
