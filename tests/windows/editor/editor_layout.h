#pragma once

// Where the editor's controls lie in its window, as its layout places them
// (src/editor/plugin_editor.cpp): the checks click where a user would, and
// the pixel comparison leaves out the boxes that hold text.

#include <windows.h>

#include <vector>

namespace layout {

constexpr int kWidth = 659;
constexpr int kHeight = 479;

// A knob group's anchor: the label's top edge; the 30-pixel knob hangs 14
// pixels below it.
struct Anchor {
    int x;
    int y;
};
constexpr Anchor kStagesAnchor{30, 30};
constexpr Anchor kAWarpAnchor{170, 30};
constexpr Anchor kMixAnchor{590, 30};
inline POINT knobCentre(Anchor anchor) {
    return POINT{anchor.x + 15, anchor.y + 14 + 15};
}

// The filter display (cutoff across, resonance up; right click for its type).
constexpr RECT kFilterDisplay{445, 100, 550, 200};
// Its lowest cutoff, at the left edge, as a fraction of the Nyquist frequency.
constexpr double kMinCutoff = 0.0022675737272948027;
constexpr int kFilterTypes = 8;
// Where a point lies across (0 left .. 1 right) and up (0 bottom .. 1 top)
// the filter display, and the cutoff at a place across it.
double acrossFilterDisplay(POINT point);
double upFilterDisplay(POINT point);
double cutoffAcross(double across);
// Where across a cutoff lies.
double acrossOfCutoff(double cutoff);
constexpr RECT kLfo1StereoButton{230, 281, 252, 295};

// Every box that holds text: each group's label and value box, the five
// menus, and the filter display's name.
std::vector<RECT> textBoxes();

} // namespace layout
