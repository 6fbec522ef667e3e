#include "editor_layout.h"

#include <algorithm>
#include <cmath>

namespace layout {

namespace {

constexpr Anchor kGroups[] = {
    // analysis, A section, S section, delay, output
    {30, 30},
    {85, 30},
    {30, 100},
    {170, 30},
    {225, 30},
    {170, 100},
    {225, 100},
    {170, 170},
    {225, 170},
    {310, 30},
    {365, 30},
    {310, 100},
    {450, 30},
    {505, 30},
    {590, 30},
    {590, 100},
    // the LFO rates and the envelope times
    {175, 260},
    {175, 330},
    {120, 400},
    {175, 400}};
constexpr int kRowLeft = 270;
constexpr int kRowStep = 55;
constexpr int kRowTops[] = {260, 330, 400};
constexpr int kRowKnobs = 6;
constexpr RECT kMenus[] = {{500, 202, 550, 214},
                           {115, 275, 165, 287},
                           {115, 306, 165, 318},
                           {115, 345, 165, 357},
                           {115, 376, 165, 388}};

void addGroup(std::vector<RECT>& boxes, Anchor anchor) {
    boxes.push_back(RECT{anchor.x - 6, anchor.y, anchor.x + 44, anchor.y + 12});
    boxes.push_back(RECT{anchor.x - 6, anchor.y + 46, anchor.x + 44, anchor.y + 58});
}

} // namespace

std::vector<RECT> textBoxes() {
    std::vector<RECT> boxes;
    for (const Anchor& anchor : kGroups) {
        addGroup(boxes, anchor);
    }
    for (int top : kRowTops) {
        for (int i = 0; i < kRowKnobs; ++i) {
            addGroup(boxes, Anchor{kRowLeft + i * kRowStep, top});
        }
    }
    for (const RECT& menu : kMenus) {
        boxes.push_back(menu);
    }
    // The type's name in the filter display's top-left corner.
    boxes.push_back(
        RECT{kFilterDisplay.left + 5, kFilterDisplay.top, kFilterDisplay.right, kFilterDisplay.top + 20});
    return boxes;
}

double acrossFilterDisplay(POINT point) {
    return static_cast<double>(point.x - kFilterDisplay.left) / (kFilterDisplay.right - kFilterDisplay.left);
}

double upFilterDisplay(POINT point) {
    return 1.0 -
           static_cast<double>(point.y - kFilterDisplay.top) / (kFilterDisplay.bottom - kFilterDisplay.top);
}

// Logarithmic: the lowest cutoff at the left edge, Nyquist (1) at the right.
double cutoffAcross(double across) {
    return std::pow(kMinCutoff, 1.0 - std::clamp(across, 0.0, 1.0));
}

double acrossOfCutoff(double cutoff) {
    return 1.0 - std::log(cutoff) / std::log(kMinCutoff);
}

} // namespace layout
