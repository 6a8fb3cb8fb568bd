// A private PulseAudio server for end-to-end tests: a null sink, its socket
// and runtime files in a folder of its own, so that the game can be pointed
// at it and the server killed, frozen or restarted under the game's feet
// without touching any sound server of the machine; and a recording of what
// its sink plays.
#pragma once

#include "support/Process.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class PrivateSoundServer {
  public:
    // Starts the server and waits for its socket; see ready().
    PrivateSoundServer();
    ~PrivateSoundServer(); // kills the server and removes its folder

    // Whether the server runs and accepts clients.
    bool ready() const { return listening; }
    // What the server wrote; for failure messages.
    std::string log() const;
    // The environment that sends a client (the game) to this server.
    std::map<std::string, std::optional<std::string>> clientEnvironment() const;
    // How many playback streams clients have open on the server now.
    int playbackStreams() const;
    // Ends the server at once, as a crash would.
    void kill();
    // Starts it again on the same socket, as a desktop's restart does; see ready().
    void restart();
    // Stops it without ending it (SIGSTOP), as a hung server.
    void freeze();
    // Lets a frozen server go on (SIGCONT).
    void thaw();

    PrivateSoundServer(const PrivateSoundServer&) = delete;
    PrivateSoundServer& operator=(const PrivateSoundServer&) = delete;

  private:
    void start();

    std::string folder;
    std::unique_ptr<ChildProcess> server;
    bool listening = false;
};

// Sends the clients of this process (a manager of the test's own) to the
// server for its lifetime, then puts the environment back as it found it.
class ClientEnvironmentScope {
  public:
    explicit ClientEnvironmentScope(const PrivateSoundServer& server);
    ~ClientEnvironmentScope();

    ClientEnvironmentScope(const ClientEnvironmentScope&) = delete;
    ClientEnvironmentScope& operator=(const ClientEnvironmentScope&) = delete;

  private:
    std::map<std::string, std::optional<std::string>> earlier;
};

// Records the server's null sink with parec from construction on.
class SinkRecording {
  public:
    explicit SinkRecording(const PrivateSoundServer& server);
    // Waits up to `limit` seconds for audible sound in what arrives from now
    // on; returns the seconds waited, or a negative number if none came.
    double secondsUntilSound(double limit);
    // Waits for `seconds` of the recording, from where the previous look at
    // it ended, and returns the level (root mean square, 1: full scale) of
    // each 50 ms in it.
    std::vector<double> levels(double seconds);

  private:
    std::unique_ptr<ChildProcess> parec;
    size_t consumed = 0; // bytes of the recording already looked at
};

// Whether the PulseAudio server program is installed.
bool soundServerInstalled();

// An environment in which a client (the game) finds no sound server and
// starts none; its files go into `folder`, which must exist.
std::map<std::string, std::optional<std::string>>
noSoundServerEnvironment(const std::string& folder);

// Whether the machine has a sound card, on which ALSA gives a device even
// without a sound server.
bool soundCardPresent();

// What the engine prints at start without a sound server: its one line that
// it found no sound device, or nothing on a machine with a sound card.
std::string noSoundDeviceLine();

} // namespace testsupport
