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
#include <string>
#include <thread>
#include <vector>

using namespace velmora;
using testsupport::StreamCapture;

namespace {

using Names = std::vector<std::string>;
const std::string kQuiet = std::string(testsupport::kNoSoundDeviceLine) + "\n";

TEST(SoundBackends, EachListStartsWhereItShouldAndOnlyTheEngineSpeaks) {
    if (testsupport::soundCardPresent()) {
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
        {{"wasapi", "alsa"},
         false,
         "Failed to initialize audio engine.\nFailed to load sound: long.mp3\n",
         ""},
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
            manager.play("long.mp3", false); // silent or not, a device plays it
            EXPECT_EQ(manager.isPlaying("long.mp3"), !c.backend.empty());
        }
        EXPECT_EQ(out.finish(), c.printed);
        const std::string complained = err.finish();
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

// What libjack calls to report, as it calls it.
void jackSays(const char* line) {
    void* jack = dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
    (*static_cast<void (**)(const char*)>(dlsym(jack, "jack_error_callback")))(line);
}

TEST(QuietProbe, HoldsBackOnlyWhatSaysThatNothingIsThere) {
    if (dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL) == nullptr) {
        GTEST_SKIP() << "no JACK client library";
    }
    const struct {
        const char* line;
        bool gaveDevice, otherThread, printed;
    } cases[] = {{"jack server is not running or cannot be started", false, false, false},
                 {"Cannot open the client: out of ports", false, false, true},
                 {"Cannot open the client: out of ports", true, false, false},
                 {"a line of the game's own JACK client", true, true, true}};
    for (const auto& c : cases) {
        StreamCapture err(StreamCapture::Stream::Err);
        QuietProbe probe(ma_backend_jack);
        c.otherThread ? std::thread(jackSays, c.line).join() : jackSays(c.line);
        probe.finish(c.gaveDevice);
        EXPECT_EQ(err.finish(), c.printed ? c.line + std::string("\n") : "") << c.line;
    }
}

} // namespace
