// A fresh scratch directory that becomes the working directory for the life of
// the object, so that the engine's relative "data/..." paths land inside it.
#pragma once

#include <string>

namespace testsupport {

class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return root; }
    // Writes `contents` to `relative` (directories created as needed).
    void writeFile(const std::string& relative, const std::string& contents) const;
    // Creates a directory (and its parents) below the scratch directory.
    void makeDir(const std::string& relative) const;

    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

  private:
    std::string root;
    std::string previous;
};

// The whole content of a file, or "" when it cannot be read.
std::string readFile(const std::string& path);

} // namespace testsupport
