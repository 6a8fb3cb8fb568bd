#include "velmora/Application.h"

#include <algorithm>
#include <cmath>

namespace velmora {

FixedStep::FixedStep(double rate) {
    if (std::isfinite(rate) && rate > 0.0) {
        length = 1.0 / rate;
    }
}

int FixedStep::advance(double seconds, int maxSteps) {
    if (!on()) {
        return 1;
    }
    if (std::isfinite(seconds) && seconds > 0.0) {
        owed += seconds;
    }
    // A frame as long as a step, summed in floating point, may fall a hair
    // short of it; it still counts as a whole step.
    double whole = std::floor(owed / length + 1e-9);
    if (maxSteps <= 0) {
        owed = std::fmod(owed, length); // what is owed beyond none is dropped
        return 0;
    }
    if (first) {
        whole = std::max(whole, 1.0);
        first = false;
    }
    const int steps = static_cast<int>(std::min(whole, static_cast<double>(maxSteps)));
    owed = std::max(owed - steps * length, 0.0);
    if (owed >= length) {
        owed = std::fmod(owed, length);
    }
    return steps;
}

} // namespace velmora
