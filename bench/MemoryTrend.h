// MemoryTrend: resident-memory samples of a long run and the straight line
// that fits them best, to tell a flat footprint from a slow leak. RSS moves in
// whole pages and jitters as allocators and the driver trim and grow their
// pools, so a single difference of first and last sample says little; the
// least-squares slope over every sample after the warm-up does not hinge on
// any one of them.
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

    std::vector<Sample> samples;
};

// The value in KiB of a "Name:   1234 kB" line of a /proc status text, or -1
// when the field is missing.
long statusFieldKib(const std::string& statusText, const char* field);

// The field read from /proc/self/status (or another status file), or -1.
long readStatusKib(const char* field, const char* path = "/proc/self/status");
