#pragma once

// What the checks do as a user would, from their own thread: real input
// through SendInput (the system routes it to the window under the pointer,
// and the key state that drags poll follows it), and messages posted straight
// to a window for single clicks and wheel turns.

#include <windows.h>

#include <functional>

// Window pixels of `window` on the screen.
POINT toScreen(HWND window, POINT client);

// The pointer to a screen point (the window under it sees a move).
void movePointer(POINT screen);
// Presses or releases a mouse button (VK_LBUTTON, VK_RBUTTON) or a key where
// the pointer and the focus are.
void pressButton(int button, bool down);
void pressKey(WORD virtualKey, bool down);
// Moves from `from` to `to` with the left button held, in steps.
//
// No key is held during a drag: under Wine each move of the pointer reaches
// the window through the X server, and the key state X reports with it (no
// key held, since injected keys never pass through X) replaces the injected
// one. Modifiers are checked where the pointer stays put.
void dragPointer(POINT from, POINT to);

// A press and release of `button` (MK_ bits in `keys` as held) at window
// pixels, posted to the window.
void postClick(HWND window, UINT downMessage, WPARAM keys, POINT client);
// A wheel turn of `delta` (120 a notch) over window pixels, posted.
void postWheel(HWND window, int delta, POINT client);

// Waits (polling) until `done` is true or `milliseconds` pass; its result.
bool waitFor(const std::function<bool()>& done, DWORD milliseconds);
// The visible pop-up window of class `className` owned by `owner`'s thread,
// or null.
HWND findPopup(HWND owner, const wchar_t* className);
