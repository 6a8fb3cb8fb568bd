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
    const std::string kQuiet = testsupport::noSoundDeviceLine();
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
        // Without a server the engine holds back all that the audio libraries
        // say through it; only libdb's own lines pass by every program.
        const std::string complained = err.finish();
        const auto fromALibrary =
            c.serverRuns ? testsupport::isSystemLibraryLine : testsupport::isBerkeleyDbLine;
        EXPECT_EQ(testsupport::gameLines(complained, fromALibrary).size(), 0u) << complained;
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

// What libjack reports, as it reports it; what ALSA reports on opening a
// device that is not there.
void jackSays(const char* line) {
    void* jack = dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL);
    (*static_cast<void (**)(const char*)>(dlsym(jack, "jack_error_callback")))(line);
}
void alsaSays(const char* device) {
    void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
    void* pcm = nullptr;
    reinterpret_cast<int (*)(void**, const char*, int, int)>(dlsym(alsa, "snd_pcm_open"))(
        &pcm, device, 0, 0);
}

TEST(QuietProbe, HoldsBackOnlyWhatSaysThatNothingIsThere) {
    if (dlopen("libjack.so.0", RTLD_NOW | RTLD_LOCAL) == nullptr ||
        dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL) == nullptr ||
        testsupport::soundCardPresent()) {
        GTEST_SKIP() << "needs libjack and libasound, and no sound card";
    }
    enum When { During, OnAnotherThread, After };
    const struct {
        ma_backend backend;
        void (*say)(const char*);
        const char* line;
        bool gaveDevice;
        When when;
        bool printed;
    } cases[] = {
        {ma_backend_jack, jackSays, "jack server is not running or cannot be started", 0, During,
         0},
        {ma_backend_jack, jackSays, "Cannot open the client: out of ports", 0, During, 1},
        {ma_backend_jack, jackSays, "Cannot open the client: out of ports", 1, During, 0},
        {ma_backend_jack, jackSays, "a line of the game's own JACK client", 1, OnAnotherThread, 1},
        {ma_backend_alsa, alsaSays, "velmora_no_such_device", 0, During, 0}, // no card
        {ma_backend_alsa, alsaSays, "velmora_no_such_device", 1, After, 1},
    };
    for (const auto& c : cases) {
        StreamCapture err(StreamCapture::Stream::Err);
        {
            QuietProbe probe(c.backend);
            if (c.when == OnAnotherThread) {
                std::thread(c.say, c.line).join();
            } else if (c.when == During) {
                c.say(c.line);
            }
            probe.finish(c.gaveDevice);
        }
        if (c.when == After) {
            c.say(c.line);
        }
        const std::string printed = err.finish();
        EXPECT_EQ(printed.find(c.line) != std::string::npos, c.printed)
            << c.line << ": " << printed;
        EXPECT_EQ(printed.empty(), !c.printed) << printed;
    }
    // Held back, a line reads as ALSA itself prints it.
    StreamCapture err(StreamCapture::Stream::Err);
    alsaSays("velmora_no_such_device");
    const std::string printed = err.finish();
    QuietProbe probe(ma_backend_alsa);
    alsaSays("velmora_no_such_device");
    ASSERT_EQ(probe.heldLines().size(), 1u);
    EXPECT_EQ(probe.heldLines()[0] + "\n", printed);
}

} // namespace
