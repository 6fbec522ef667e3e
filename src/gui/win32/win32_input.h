#pragma once

// The toolkit's button and modifier bits (kLButton ... kAlt) from Win32's
// key state.
//
// Threads: [ui thread] the thread whose message queue the bits describe.

#include <windows.h>

#include <cstdint>

// From a mouse message's key-state word (MK_ bits: the logical buttons and
// Shift and Control when the message was made) and the Alt key as the
// thread's queue last saw it.
std::int32_t buttonsFromKeyState(WPARAM keyState);

// The buttons and modifiers held this moment, whatever messages are waiting:
// what a drag's loop polls while no message is handled. The left-handed
// setting is applied, so the bits are the logical buttons.
std::int32_t buttonsHeldNow();
