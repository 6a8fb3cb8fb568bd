// CountSearch: the largest load a program carries at a given frame rate,
// found from probes. The count doubles from a start value while the program
// keeps the rate; once a count falls below it, the search bisects between
// the largest count that kept the rate and the smallest that did not, until
// the two lie within a relative tolerance of each other. A start value that
// already falls below is halved the same way, down to one. A program that
// keeps the rate at the largest count asked for (kMaxCount unless given)
// stops the search there.
#pragma once

class CountSearch {
  public:
    static constexpr int kMaxCount = 1 << 22;

    CountSearch(int startCount, double targetRate, double tolerance, int maxCount = kMaxCount);

    // Whether the answer is known; no further probe is wanted.
    bool done() const;

    // The count to probe next (meaningless once done()).
    int nextCount() const { return probe; }

    // The rate measured at nextCount(); moves the search on.
    void record(double rate);

    // The largest count measured at or above the target rate (0 when none).
    int result() const { return kept; }

  private:
    double target;
    double tolerance;
    int probe;
    int largest;
    int kept = 0;   // largest count that kept the rate
    int missed = 0; // smallest count that fell below it; 0 while none has
};
