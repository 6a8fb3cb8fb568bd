// The back-end list and the quiet start, on the real miniaudio and the
// system's real ALSA and JACK libraries, with and without a sound server.
#include "velmora/SoundManager.h"
#include "engine/SoundBackends.h"

#include "support/Capture.h"
#include "support/GameOutput.h"
#include "support/Process.h"
#include "support/SoundServer.h"
#include "support/TestSounds.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

using namespace velmora;
using testsupport::StreamCapture;

namespace {

using Names = std::vector<std::string>;
const std::string kQuiet = "No sound device: the game runs silently\n";

TEST(SoundBackends, EachListStartsWhereItShouldAndOnlyTheEngineSpeaks) {
    if (std::filesystem::exists("/dev/snd/controlC0")) {
        GTEST_SKIP() << "this machine has a sound card: ALSA gives a device";
    }
    testsupport::PrivateSoundServer server;
    if (!server.ready()) {
        GTEST_SKIP() << "no sound server to start: " << server.log();
    }
    testsupport::ScratchDir scratch;
    testsupport::installTestSound(scratch, "long.mp3", "long.mp3");
    const struct {
        Names backends;
        bool serverRuns;
        std::string printed, backend;
    } cases[] = {
        {{}, true, "", "pulseaudio"},
        {{"pulseaudio", "null"}, true, "", "pulseaudio"},
        {{"Bogus", "NULL"}, true, "Unknown sound back-end, ignored: Bogus\n", "null"},
        {{}, false, kQuiet, "null"},
        {{"jack", "null"}, false, kQuiet, "null"},
        {{"null"}, false, "", "null"},
        {{"wasapi", "alsa"}, false, "Failed to initialize audio engine.\n", ""},
    };
    testsupport::ClientEnvironmentScope client(server);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.backends) + (c.serverRuns ? " with" : " without") +
                     " a server");
        if (!c.serverRuns) {
            server.kill();
        }
        SoundOptions options;
        options.backends = c.backends;
        StreamCapture out(StreamCapture::Stream::Out);
        StreamCapture err(StreamCapture::Stream::Err);
        {
            SoundManager manager(options);
            EXPECT_EQ(manager.backend(), c.backend);
            manager.loadSound("long.mp3");
            manager.play("long.mp3", false);
            // Silent or not, a device that runs plays the sound on.
            EXPECT_EQ(testsupport::waitUntil(10, [&] { return manager.cursorSeconds("long.mp3") > 0.1; }),
                      !c.backend.empty());
        }
        const std::string printed = out.finish();
        const std::string complained = err.finish();
        EXPECT_EQ(printed.substr(0, c.printed.size()), c.printed);
        if (!c.backend.empty()) {
            EXPECT_EQ(printed, c.printed);
        }
        EXPECT_EQ(c.serverRuns ? testsupport::gameLines(complained).size() : complained.size(), 0u)
            << complained;
    }
}

TEST(SoundBackends, TheGamesListIsTakenOnceBeforeItsManagerStarts) {
    EXPECT_EQ(SoundManager::backends(), Names{});
    EXPECT_TRUE(SoundManager::setBackends({"null"}));
    EXPECT_EQ(SoundManager::backends(), Names{"null"});
    EXPECT_EQ(SoundManager::instance().backend(), "null");
    EXPECT_FALSE(SoundManager::setBackends({"alsa"}));
    EXPECT_EQ(SoundManager::backends(), Names{"null"});
}

// JACK's report functions, called as libjack calls them.
using JackReport = void (*)(const char*);
JackReport jackError() {
    void* jack = dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
    void* callback = jack != nullptr ? dlsym(jack, "jack_error_callback") : nullptr;
    return callback != nullptr ? *static_cast<JackReport*>(callback) : nullptr;
}

TEST(QuietProbe, HoldsBackOnlyWhatSaysThatNothingIsThere) {
    if (jackError() == nullptr) {
        GTEST_SKIP() << "no JACK client library";
    }
    const struct {
        const char* what;
        std::vector<const char*> lines;
        bool gaveDevice, otherThread;
        std::string printed;
    } cases[] = {
        {"no server", {"Cannot connect to server request channel", "jack server is not running or "
                       "cannot be started"}, false, false, ""},
        {"a real failure", {"Cannot open the client: out of ports"}, false, false,
         "Cannot open the client: out of ports\n"},
        {"a device after all", {"Cannot open the client: out of ports"}, true, false, ""},
        {"another thread's line", {"a line of the game's own client"}, true, true,
         "a line of the game's own client\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StreamCapture err(StreamCapture::Stream::Err);
        {
            QuietProbe probe(ma_backend_jack);
            for (const char* line : c.lines) {
                if (c.otherThread) {
                    std::thread([&] { jackError()(line); }).join();
                } else {
                    jackError()(line);
                }
            }
            probe.finish(c.gaveDevice);
        }
        EXPECT_EQ(err.finish(), c.printed);
    }
}

} // namespace
