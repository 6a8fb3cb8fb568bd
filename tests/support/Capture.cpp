#include "support/Capture.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <unistd.h>

namespace testsupport {

namespace {
void flushAll() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(stdout);
    std::fflush(stderr);
}
} // namespace

StreamCapture::StreamCapture(Stream stream) : fd(stream == Stream::Out ? 1 : 2) {
    flushAll();
    char path[] = "/tmp/velmora-capture-XXXXXX";
    tempFd = mkstemp(path);
    if (tempFd < 0) {
        return;
    }
    unlink(path);
    savedFd = dup(fd);
    dup2(tempFd, fd);
}

StreamCapture::~StreamCapture() {
    finish();
}

std::string StreamCapture::finish() {
    if (savedFd < 0) {
        return text;
    }
    flushAll();
    dup2(savedFd, fd);
    close(savedFd);
    savedFd = -1;
    lseek(tempFd, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = read(tempFd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    close(tempFd);
    tempFd = -1;
    return text;
}

int countOccurrences(const std::string& haystack, const std::string& needle) {
    if (needle.empty()) {
        return 0;
    }
    int count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

} // namespace testsupport
