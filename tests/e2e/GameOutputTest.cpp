// The filter that tells the game's console lines from the audio libraries',
// fed lines that the real libraries printed on the test machines.
#include "support/GameOutput.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GameOutput, TheSystemLibrariesLinesAreRecognisedAndTheGamesAreNot) {
    const struct {
        const char* line;
        bool fromALibrary;
    } cases[] = {
        // ALSA without a sound card.
        {"ALSA lib confmisc.c:855:(parse_card) cannot find card '0'", true},
        {"ALSA lib pcm.c:2666:(snd_pcm_open_noupdate) Unknown PCM dmix:0,0", true},
        // The JACK client without a server.
        {"Cannot connect to server socket err = No such file or directory", true},
        {"Cannot connect to server request channel", true},
        {"jack server is not running or cannot be started", true},
        {"JackShmReadWritePtr::~JackShmReadWritePtr - Init not done for -1, skipping unlock", true},
        // Its metadata store, made by a JACK client of another libdb build.
        {"BDB1539 Build signature doesn't match environment", true},
        {"Cannot open DB environment: BDB0091 DB_VERSION_MISMATCH: Database environment version "
         "mismatch",
         true},
        // A PulseAudio daemon started for the user.
        {"W: [pulseaudio] main.c: This program is not intended to be run as root (unless --system "
         "is specified).",
         true},
        {"E: [pulseaudio] module.c: Failed to open module \"module-does-not-exist\".", true},
        {"W: [pulseaudio] server-lookup.c: Unable to contact D-Bus: "
         "org.freedesktop.DBus.Error.NotSupported: Unable to autolaunch a dbus-daemon without a "
         "$DISPLAY for X11",
         true},
        // The game's own lines.
        {"Windowed mode enabled", false},
        {"Failed to initialize GLFW", false},
        {"Failed to load sound: data/audio/loop.mp3", false},
        {"Failed to open the file: \"data/shaders/textured.glsl\"", false},
        {"GL_INVALID_OPERATION - src/engine/Sprite.cpp:88", false},
        {"The audio device did not stop within 1 s; quitting without waiting for it", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(testsupport::isSystemLibraryLine(c.line), c.fromALibrary) << c.line;
    }
}

} // namespace
