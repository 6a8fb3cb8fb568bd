#include "CountSearch.h"

CountSearch::CountSearch(int startCount, double targetRate, double relativeTolerance)
    : target(targetRate), tolerance(relativeTolerance), probe(startCount > 0 ? startCount : 1) {}

bool CountSearch::done() const {
    if (missed == 0) {
        return kept >= kMaxCount;
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
    probe = missed == 0 ? kept * 2 : kept + (missed - kept) / 2;
}
