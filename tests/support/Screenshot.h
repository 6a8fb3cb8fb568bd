// Screenshots of a real window under the test X server, for end-to-end tests
// that look at the game as a player would.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace testsupport {

struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb; // rows top to bottom, 3 bytes per pixel

    bool empty() const { return rgb.empty(); }
    // Mean absolute difference per channel over a rectangle (x, y from the
    // top-left corner), 0 to 255; the rectangle is clipped to both images.
    double difference(const Screenshot& other, int x, int y, int w, int h) const;
    double difference(const Screenshot& other) const {
        return difference(other, 0, 0, width, height);
    }
    // Mean of each channel (red, green, blue) over a rectangle, clipped to
    // the image; zeros when nothing of it is inside.
    std::array<double, 3> mean(int x, int y, int w, int h) const;
    // The brightest channel value anywhere in the rectangle: 0 means black.
    int brightest(int x, int y, int w, int h) const;
};

// Captures the window `windowId` (as xdotool prints it); empty on failure.
Screenshot captureWindow(const std::string& windowId);

// Runs a shell command that writes a binary PPM image on its standard output
// (retried a few times, as screen readers can be refused for a moment).
Screenshot captureCommand(const std::string& command);

// Writes the screenshot as a PNG (for failure reports and documentation).
bool savePng(const Screenshot& shot, const std::string& path);

} // namespace testsupport
