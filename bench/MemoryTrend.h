// MemoryTrend: resident-memory samples of a long run and the slope of their
// trend, to tell a flat footprint from a slow leak. RSS moves in whole pages,
// and a healthy program can still take a one-time step: the allocator keeps
// the high-water mark of a rare burst of short-lived blocks, and the OpenGL
// driver grows its pools the first time a frame needs more. So a single
// difference of first and last sample says little, and even a least-squares
// line is pulled up by one such step. The median slope over a fixed lag of a
// sixth of the span is not: each one-time step tilts only a sixth of those
// pairs, so up to two steps leave the median flat, while a leak, which climbs
// all the time, tilts nearly every pair by its own rate.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class MemoryTrend {
  public:
    struct Sample {
        double seconds;
        double kib;
    };

    void add(double seconds, double kib) { samples.push_back({seconds, kib}); }

    // Samples taken at or after `from` seconds.
    std::vector<Sample> after(double from) const;

    // Least-squares slope in KiB per minute over the samples at or after
    // `from`; 0 with fewer than two such samples or no spread in time.
    double slopeKibPerMinute(double from) const;

    // Median, in KiB per minute, of the slopes of the floor of the samples at
    // or after `from` (the least level of each stretch of a third of them),
    // each between one point and the point a sixth of the samples later; 0
    // with fewer than two such samples. Samples are expected at a steady
    // rate. A level that toggles between two values gives no slope.
    double medianSlopeKibPerMinute(double from) const;

    std::vector<Sample> samples;
};

// The value in KiB of a "Name:   1234 kB" line of a /proc status text, or -1
// when the field is missing.
long statusFieldKib(const std::string& statusText, const char* field);

// The field read from /proc/self/status (or another status file), or -1.
long readStatusKib(const char* field, const char* path = "/proc/self/status");
