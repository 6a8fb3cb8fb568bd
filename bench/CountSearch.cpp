#include "CountSearch.h"

CountSearch::CountSearch(int startCount, double targetRate, double relativeTolerance,
                         int maxCount)
    : target(targetRate), tolerance(relativeTolerance), probe(startCount > 0 ? startCount : 1),
      largest(maxCount > 0 ? maxCount : 1) {
    probe = probe < largest ? probe : largest;
}

bool CountSearch::done() const {
    if (missed == 0) {
        return kept >= largest;
    }
    const int gap = missed - kept;
    return gap <= 1 || gap <= tolerance * kept;
}

void CountSearch::record(double rate) {
    if (done()) {
        return;
    }
    if (rate >= target) {
        kept = probe;
    } else {
        missed = probe;
    }
    probe = missed == 0 ? (kept < largest / 2 ? kept * 2 : largest) : kept + (missed - kept) / 2;
}
