// PrivateSoundServer: pulseaudio started by hand with a null sink.
#include "support/SoundServer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace testsupport {

namespace {

std::string runtimeDir(const std::string& folder) {
    return folder + "/run";
}

std::string socketPath(const std::string& folder) {
    return runtimeDir(folder) + "/native";
}

std::string clientConfig(const std::string& folder) {
    return folder + "/client.conf";
}

// The recording: 8 kHz mono 16-bit, looked at 50 ms at a time.
constexpr size_t kBlockBytes = 800;

double blockLevel(const std::string& pcm, size_t at) {
    double sum = 0.0;
    for (size_t i = at; i < at + kBlockBytes; i += 2) {
        std::int16_t sample;
        std::memcpy(&sample, pcm.data() + i, sizeof sample);
        sum += double(sample) * sample;
    }
    return std::sqrt(sum / (kBlockBytes / 2)) / 32768.0;
}

} // namespace

PrivateSoundServer::PrivateSoundServer() {
    std::string pattern = "/tmp/velmora-pulse-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        return;
    }
    folder = pattern;
    std::filesystem::create_directories(folder + "/home");
    mkdir(runtimeDir(folder).c_str(), 0700);
    // A client that cannot reach the server must not start one of its own,
    // which would outlive the test.
    std::ofstream(clientConfig(folder)) << "autospawn = no\n";
    start();
}

void PrivateSoundServer::start() {
    ProcessOptions options;
    options.env = clientEnvironment();
    options.env["PULSE_SERVER"] = std::nullopt;
    // The parent-death signal ends the server with this test process even
    // when the test crashes. Run as root, pulseaudio only warns; anonymous
    // clients spare the game the server's cookie.
    server = std::make_unique<ChildProcess>(
        std::vector<std::string>{"setpriv", "--pdeathsig", "KILL", "pulseaudio", "-n",
                                 "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
                                 "--log-target=stderr", "-L", "module-null-sink", "-L",
                                 "module-native-protocol-unix auth-anonymous=1 socket=" +
                                     socketPath(folder)},
        options);
    listening = server->started() &&
                waitUntil(10, [this] { return !server->running() || playbackStreams() >= 0; }) &&
                server->running();
}

PrivateSoundServer::~PrivateSoundServer() {
    kill();
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

std::string PrivateSoundServer::log() const {
    return server ? server->standardError() : "no folder for the server";
}

std::map<std::string, std::optional<std::string>> PrivateSoundServer::clientEnvironment() const {
    return {{"PULSE_SERVER", "unix:" + socketPath(folder)},
            {"XDG_RUNTIME_DIR", runtimeDir(folder)},
            {"HOME", folder + "/home"},
            {"PULSE_CLIENTCONFIG", clientConfig(folder)}};
}

int PrivateSoundServer::playbackStreams() const {
    int exitCode = -1;
    const std::string streams = runShell("PULSE_SERVER=unix:" + socketPath(folder) +
                                             " PULSE_CLIENTCONFIG=" + clientConfig(folder) +
                                             " pactl list short sink-inputs",
                                         &exitCode);
    if (exitCode != 0) {
        return -1;
    }
    int count = 0;
    for (char c : streams) {
        count += c == '\n' ? 1 : 0;
    }
    return count;
}

void PrivateSoundServer::kill() {
    if (server) {
        server->kill();
    }
    listening = false;
}

void PrivateSoundServer::restart() {
    kill();
    start();
}

void PrivateSoundServer::freeze() {
    if (server && server->started()) {
        ::kill(server->processId(), SIGSTOP);
    }
}

void PrivateSoundServer::thaw() {
    if (server && server->started()) {
        ::kill(server->processId(), SIGCONT);
    }
}

ClientEnvironmentScope::ClientEnvironmentScope(const PrivateSoundServer& server) {
    for (const auto& variable : server.clientEnvironment()) {
        const char* value = std::getenv(variable.first.c_str());
        earlier[variable.first] =
            value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        setenv(variable.first.c_str(), variable.second->c_str(), 1);
    }
}

ClientEnvironmentScope::~ClientEnvironmentScope() {
    for (const auto& variable : earlier) {
        if (variable.second) {
            setenv(variable.first.c_str(), variable.second->c_str(), 1);
        } else {
            unsetenv(variable.first.c_str());
        }
    }
}

SinkRecording::SinkRecording(const PrivateSoundServer& server) {
    ProcessOptions options;
    options.env = server.clientEnvironment();
    parec = std::make_unique<ChildProcess>(
        std::vector<std::string>{"parec", "--raw", "--format=s16le", "--channels=1", "--rate=8000",
                                 "--latency-msec=20", "--device=null.monitor"},
        options);
}

double SinkRecording::secondsUntilSound(double limit) {
    // Silence on a null sink is exact zeros; 50 ms whose level passes 1 %
    // of full scale is sound.
    const auto start = std::chrono::steady_clock::now();
    consumed = std::max(consumed, parec->standardOutput().size() / kBlockBytes * kBlockBytes);
    bool heard = false;
    waitUntil(limit, [&] {
        const std::string pcm = parec->standardOutput();
        for (; consumed + kBlockBytes <= pcm.size() && !heard; consumed += kBlockBytes) {
            heard = blockLevel(pcm, consumed) > 0.01;
        }
        return heard;
    });
    return heard ? std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()
                 : -1.0;
}

std::vector<double> SinkRecording::levels(double seconds) {
    const size_t end = consumed + static_cast<size_t>(seconds * 20) * kBlockBytes;
    waitUntil(seconds + 5.0, [&] { return parec->standardOutput().size() >= end; });
    const std::string pcm = parec->standardOutput();
    std::vector<double> result;
    for (; consumed + kBlockBytes <= std::min(end, pcm.size()); consumed += kBlockBytes) {
        result.push_back(blockLevel(pcm, consumed));
    }
    return result;
}

bool soundServerInstalled() {
    return std::system("command -v pulseaudio >/dev/null 2>&1") == 0;
}

std::map<std::string, std::optional<std::string>>
noSoundServerEnvironment(const std::string& folder) {
    std::ofstream(clientConfig(folder)) << "autospawn = no\n";
    return {{"PULSE_SERVER", "unix:" + socketPath(folder)},
            {"PULSE_CLIENTCONFIG", clientConfig(folder)}};
}

bool soundCardPresent() {
    return std::filesystem::exists("/dev/snd/controlC0");
}

std::string noSoundDeviceLine() {
    return soundCardPresent() ? "" : "No sound device: the game runs silently\n";
}

} // namespace testsupport
