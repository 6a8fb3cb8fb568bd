#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace fs = std::filesystem;

namespace testsupport {

ScratchDir::ScratchDir() {
    previous = fs::current_path().string();
    char pattern[] = "/tmp/velmora-test-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root = made;
    fs::current_path(root);
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::current_path(previous, ignored);
    fs::remove_all(root, ignored);
}

void ScratchDir::makeDir(const std::string& relative) const {
    fs::create_directories(fs::path(root) / relative);
}

void ScratchDir::writeFile(const std::string& relative, const std::string& contents) const {
    const fs::path target = fs::path(root) / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary);
    out << contents;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace testsupport
