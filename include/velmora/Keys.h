// Keys: the codes that the scene's onKey hook receives, so that a game can
// read its keys without including the window library's header. They are the
// window library's own numbers (checked against it when the engine is built);
// a printable key's code is its upper-case ASCII character ('A' = 65).
#pragma once

namespace velmora {

// What happened to the key.
constexpr int kKeyRelease = 0;
constexpr int kKeyPress = 1;
constexpr int kKeyRepeat = 2; // held down long enough for the system's key repeat

// A few keys by name.
constexpr int kKeySpace = 32;
constexpr int kKeyEscape = 256; // a press closes the window before any hook sees it
constexpr int kKeyEnter = 257;
constexpr int kKeyRight = 262;
constexpr int kKeyLeft = 263;
constexpr int kKeyDown = 264;
constexpr int kKeyUp = 265;
constexpr int kKeyF1 = 290; // F2 … F12 follow: kKeyF1 + n - 1

} // namespace velmora
