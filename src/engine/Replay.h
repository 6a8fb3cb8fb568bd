// Replay: records a run's input and frame clock to a file, or plays a file
// back in their place, and checks pictures for a game's replay tests. Asked
// for through the environment, so that any game takes part without a
// change; without those variables every call here does nothing.
//
//   VELMORA_RECORD=FILE     record this run into FILE
//   VELMORA_REPLAY=FILE     replay FILE: its clock and input instead of the
//                           real ones; live input is ignored; the run ends
//                           after its last frame
//   VELMORA_PICTURES=N=PNG;M=PNG…   after frame N is drawn, compare its
//                           letterboxed picture with PNG (the replay test)
//   VELMORA_PICTURES_WRITE=1        write the pictures to those PNGs instead
//   VELMORA_PICTURES_TOLERANCE=P    percent of pixels that may differ
//   VELMORA_PICTURES_OUT=DIR        where each checked frame's picture goes
#pragma once

#include "engine/RecordingFile.h"

#include <string>

namespace velmora {

class Application;

// A pixel counts as different when one of its channels differs by more than
// this (0–255): rounding differs between OpenGL drivers, a change does not.
constexpr int kPictureChannelSlack = 24;
constexpr double kDefaultPictureTolerancePercent = 0.1;

struct StartState {
    int windowWidth = 0;
    int windowHeight = 0;
    int framebufferWidth = 0;
    int framebufferHeight = 0;
    double cursorX = 0.0;
    double cursorY = 0.0;
};

// The picture check: the share of pixels of `actual` that differ from
// `stored` (both tightly packed, `channels` a pixel) by more than
// kPictureChannelSlack in a channel, in percent.
double differingPercent(const unsigned char* actual, const unsigned char* stored, int width,
                        int height, int channels);

class Replay {
  public:
    // Before the window: reads the environment, and reads and checks the
    // recording to replay. False after one line on standard error when the
    // file cannot be read or is refused.
    static bool prepare();
    // With the window open: seeds the engine's generator; a replay replaces
    // `start` with the recorded one, a recording writes its header.
    static bool begin(StartState& start);
    static bool replaying();
    // At the top of a frame with the clock read: a recording writes it, a
    // replay replaces it. False when the recording has no frame left.
    static bool frameBegins(double& clock);
    // After the draw hook, while the back buffer holds the frame.
    static void frameDrawn(Application& application);
    // After the event polling: a replay delivers the frame's events.
    static void frameEnds(Application& application);
    // An input event on its way to the game.
    static void note(const InputEvent& event);
    // An answer from something that runs on its own clock (the sound): a
    // recording keeps it, a replay gives the recorded one back.
    static double answer(double live);
    // What a replay's events hold down.
    static bool keyHeld(int key);
    static bool buttonHeld(int button);
    // The loop has ended: a recording writes its end line, a picture check
    // says how it went.
    static void finish();
};

} // namespace velmora
