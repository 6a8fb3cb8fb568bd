// Input: the keyboard and the mouse as they are now, for a game that asks
// during a frame rather than waits for events (the hooks of SceneHooks give
// the events). Main thread only, between Application::init and the end of
// the program; without a window every key and button reads as up and the
// mouse as (0, 0).
//
// The state changes only during the event polling at the end of each frame,
// so every question gets the same answer for the whole of a frame.
#pragma once

#include "velmora/Keys.h"
#include "velmora/Math.h"

#include <string>

namespace velmora {

// Whether `key` (kKeyA, kKeyLeft, kKeySpace, … of <velmora/Keys.h>) is held
// down. A key repeat does not end it. When the window loses focus, every
// key counts as released (onKey sees the releases), so no key stays down
// while the player is in another window. A code that names no key is never
// down.
bool isKeyDown(int key);

// Whether the mouse button `button` (kMouseLeft, kMouseRight, kMouseMiddle,
// or 3 … kMouseLast) is held down. Buttons are released on a loss of focus,
// as keys are.
bool isMouseButtonDown(int button);

// Where the cursor points, in fractions of the letterboxed picture: (0, 0)
// at the picture's lower-left corner, (1, 1) at its upper-right, y growing
// upward as in a camera. Over the bars, and outside the window while it
// still follows the mouse, the values go below 0 or above 1. The window's
// scale on a high-density screen and the letterbox's bars are accounted for.
//
// To have it in the units the game draws in, pass it through the camera:
// camera.pictureToWorld(mousePosition()) is the point that a sprite drawn
// with `camera` must be at to be under the cursor. With
// camera.ortho(0, W, 0, H, …) alone that is simply (x × W, y × H).
Vec2 mousePosition();

// The code points of `text` in UTF-8, the encoding that the text renderer
// draws and measures. Text typed through the onText hook is best kept as a
// std::u32string, one element per character, so that Backspace takes off a
// whole letter (name.pop_back()); this makes it drawable. A value that is
// no character (a UTF-16 surrogate, or above U+10FFFF) becomes U+FFFD, the
// replacement character.
std::string utf8(const std::u32string& text);

} // namespace velmora
