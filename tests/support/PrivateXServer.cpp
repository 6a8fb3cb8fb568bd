#include "support/PrivateXServer.h"

#include <csignal>

namespace testsupport {

PrivateXServer::PrivateXServer(int width, int height) {
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    // -displayfd: the server takes a free display number and prints it once it
    // accepts connections, so there is neither a race for a number nor a wait
    // on a guess. -noreset: it would otherwise reset when its last client
    // leaves, and drop a client that connects meanwhile.
    server = std::make_unique<ChildProcess>(std::vector<std::string>{
        "Xvfb", "-displayfd", "1", "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
    std::string printed;
    waitUntil(30, [&] {
        printed = server->standardOutput();
        return !server->running() || printed.find('\n') != std::string::npos;
    });
    if (server->running() && !printed.empty()) {
        name = ":" + printed.substr(0, printed.find('\n'));
    }
}

PrivateXServer::~PrivateXServer() {
    if (server->running()) {
        ::kill(server->processId(), SIGTERM);
        server->waitFor(5);
    }
}

} // namespace testsupport
