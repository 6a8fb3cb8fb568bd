// An X server of its own for a test that needs a screen of a given size
// (the shared test server's screen is 1280×1024): Xvfb on a display number
// that it picks itself, ended with the object.
#pragma once

#include "support/Process.h"

#include <memory>
#include <string>

namespace testsupport {

class PrivateXServer {
  public:
    PrivateXServer(int width, int height);
    ~PrivateXServer(); // ends the server cleanly, so that it removes its lock file

    // The display name (":N"), or "" when the server did not start.
    const std::string& display() const { return name; }

    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;

  private:
    std::unique_ptr<ChildProcess> server;
    std::string name;
};

} // namespace testsupport
