// Overlay: the F3 panel in the top-left corner of the picture with the frame
// rate, the last frame's time and the player's score. Off at start; a press
// of F3 toggles it. It only reads: the frame timing from the application,
// the score from the game.
#pragma once

#include "velmora/Math.h"

#include <cstddef>

namespace velmora {
class FrameTimer;
} // namespace velmora
using namespace velmora;

struct Score;

class Overlay {
  public:
    // A GLFW key event: a press of F3 toggles the overlay; everything else,
    // F3's release and repeats included, is ignored.
    void onKey(int action, int key);

    // Draws the panel over whatever is on screen when shown, with the
    // application's frame timing; nothing when hidden. Needs the text
    // renderer's font and shader, as loaded at start.
    void draw(const Score& score) const;

    // Writes the panel's three lines into `buffer` (always terminated) and
    // returns their length.
    std::size_t format(const Score& score, const FrameTimer& frames, char* buffer,
                       std::size_t size) const;

    // The panel's rectangle in picture units (the picture is kPictureWidth
    // wide and 1 high, origin at its lower-left corner), for the text `text`.
    Rect panelRect(const char* text) const;

    bool visible = false;
};
