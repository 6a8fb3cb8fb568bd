// Captures what the code under test writes to standard output or standard
// error, at the file-descriptor level, so C stdio and C++ streams both count.
#pragma once

#include <string>

namespace testsupport {

class StreamCapture {
  public:
    enum class Stream { Out, Err };
    explicit StreamCapture(Stream stream);
    ~StreamCapture();
    // Stops capturing (once) and returns everything written meanwhile.
    std::string finish();

    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

  private:
    int fd;
    int savedFd = -1;
    int tempFd = -1;
    std::string text;
};

// Counts the non-overlapping occurrences of `needle` in `haystack`.
int countOccurrences(const std::string& haystack, const std::string& needle);

} // namespace testsupport
