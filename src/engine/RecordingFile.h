// RecordingFile: the file that a recorded run is kept in, read and written
// without a window, so that the reader can be fuzzed on its own.
//
// The file is text, one record a line, fields split by single spaces; every
// number that the game sees is written as a C hexadecimal float ("%a"), so it
// reads back bit for bit:
//
//   velmora-recording 1                     the format and its version
//   engine 2.0                              the engine that wrote it
//   game breakout                           the program's file name
//   seed 00000000075bcd15                   the run's seed, 16 hex digits
//   start W H FW FH X Y                     window and framebuffer size, cursor
//   f T                                     a frame begins; T is its clock
//   k ACTION KEY MODS                       events, in the order they came,
//   t CODEPOINT                             each after the "f" line of the
//   b ACTION BUTTON                         frame whose event polling
//   m X Y                                   delivered it: key, text, mouse
//   s X Y                                   button, cursor, scroll, window
//   w W H                                   size, framebuffer size, focus;
//   r W H                                   "a" is an answer of the sound
//   c FOCUSED                               (is it playing, where is it),
//   a VALUE                                 which runs on its own clock
//   end FRAMES CHECKSUM                     frame count, FNV-1a 64 of every
//                                           byte before this line
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velmora {

constexpr int kRecordingFormat = 1;
constexpr const char* kRecordingMagic = "velmora-recording";

// One input event as the engine delivers it to the game.
struct InputEvent {
    enum class Kind : char {
        Key = 'k',         // a = action, b = key, c = modifiers
        Text = 't',        // a = code point
        Button = 'b',      // a = action, b = button
        Cursor = 'm',      // x, y in screen coordinates
        Scroll = 's',      // x, y in notches
        WindowSize = 'w',  // a × b in screen coordinates
        Framebuffer = 'r', // a × b in pixels
        Focus = 'c',       // a = 1 gained, 0 lost
    };
    Kind kind = Kind::Key;
    int a = 0;
    int b = 0;
    int c = 0;
    double x = 0.0;
    double y = 0.0;
};

struct RecordedFrame {
    double clock = 0.0;
    std::vector<InputEvent> events;
    std::vector<double> answers;
};

struct Recording {
    int format = kRecordingFormat;
    std::string engine;
    std::string game;
    std::uint64_t seed = 0;
    int windowWidth = 0;
    int windowHeight = 0;
    int framebufferWidth = 0;
    int framebufferHeight = 0;
    double cursorX = 0.0;
    double cursorY = 0.0;
    std::vector<RecordedFrame> frames;
};

// FNV-1a 64 over `bytes`, continuing from `hash`.
std::uint64_t fnv1a64(const std::string& bytes, std::uint64_t hash = 0xcbf29ce484222325ull);

// The header lines, through "start", each ending in '\n'.
std::string recordingHeader(const Recording& recording);
std::string frameLine(double clock);
std::string eventLine(const InputEvent& event);
std::string answerLine(double value);
// The last line, given the frame count and fnv1a64 of every byte written
// before it.
std::string endLine(std::size_t frames, std::uint64_t checksum);

// Reads a whole recording from `bytes`. Checks, in this order: the format
// line, the engine version (against `engine`), the game (against `game`),
// then every line and the checksum. Returns false with `why` set to a
// phrase that completes "Cannot replay FILE: " when any fails; `out` is then
// unspecified.
bool readRecording(const std::string& bytes, const std::string& engine, const std::string& game,
                   Recording& out, std::string& why);

} // namespace velmora
