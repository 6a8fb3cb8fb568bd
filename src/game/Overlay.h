// Overlay: the F3 panel in the top-left corner of the picture with the frame
// rate, the last frame's time and the player's score. Off at start; a press
// of F3 toggles it. It measures frames itself and only reads the score.
#pragma once

#include "engine/Math.h"

#include <cstddef>

struct Score;

class Overlay {
  public:
    // A GLFW key event: a press of F3 toggles the overlay; everything else,
    // F3's release and repeats included, is ignored.
    void onKey(int action, int key);

    // Once per frame with the frame clock in seconds, shown or not, so that
    // the rate is ready the moment the overlay appears.
    void tick(double now);

    // Draws the panel over whatever is on screen when shown; nothing when
    // hidden. Needs the text renderer's font and shader, as loaded at start.
    void draw(const Score& score) const;

    // Writes the panel's three lines into `buffer` (always terminated) and
    // returns their length.
    std::size_t format(const Score& score, char* buffer, std::size_t size) const;

    // The panel's rectangle in picture units (the picture is 1.333 wide and
    // 1 high, origin at its lower-left corner), for the text `text`.
    Rect panelRect(const char* text) const;

    bool visible = false;
    double framesPerSecond = 0.0; // averaged over the last completed window
    double lastFrameSeconds = 0.0;

  private:
    bool started = false;
    double lastTick = 0.0;
    double windowStart = 0.0;
    int windowFrames = 0;
};
