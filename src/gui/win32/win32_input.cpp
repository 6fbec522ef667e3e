#include "gui/win32/win32_input.h"

#include "gui/gui_types.h"

namespace {

bool heldNow(int key) {
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

} // namespace

std::int32_t buttonsFromKeyState(WPARAM keyState) {
    std::int32_t buttons = 0;
    if ((keyState & MK_LBUTTON) != 0) {
        buttons |= kLButton;
    }
    if ((keyState & MK_MBUTTON) != 0) {
        buttons |= kMButton;
    }
    if ((keyState & MK_RBUTTON) != 0) {
        buttons |= kRButton;
    }
    if ((keyState & MK_SHIFT) != 0) {
        buttons |= kShift;
    }
    if ((keyState & MK_CONTROL) != 0) {
        buttons |= kControl;
    }
    if (GetKeyState(VK_MENU) < 0) {
        buttons |= kAlt;
    }
    return buttons;
}

// The asynchronous state reports the physical buttons: with the buttons
// swapped for the left hand, the right one is the logical left.
std::int32_t buttonsHeldNow() {
    const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    std::int32_t buttons = 0;
    if (heldNow(swapped ? VK_RBUTTON : VK_LBUTTON)) {
        buttons |= kLButton;
    }
    if (heldNow(VK_MBUTTON)) {
        buttons |= kMButton;
    }
    if (heldNow(swapped ? VK_LBUTTON : VK_RBUTTON)) {
        buttons |= kRButton;
    }
    if (heldNow(VK_SHIFT)) {
        buttons |= kShift;
    }
    if (heldNow(VK_CONTROL)) {
        buttons |= kControl;
    }
    if (heldNow(VK_MENU)) {
        buttons |= kAlt;
    }
    return buttons;
}
