// Gauge: phase bookkeeping and the pointer's value.
#include "game/Gauge.h"

#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;
}

Gauge& Gauge::instance() {
    static Gauge gauge;
    return gauge;
}

void Gauge::update(double now) {
    const double d = now - lastTime;
    lastTime = now;
    if (frozen) {
        return;
    }
    phase = phase + static_cast<float>(d);
    // A completed swing starts over from the middle; whatever went beyond the
    // end of the cycle is dropped rather than carried into the next one.
    if (phase >= 1.0) {
        phase = 0.0;
    }
}

float Gauge::value() const {
    return static_cast<float>(std::sin(phase * kPi * 2) * 0.5 + 0.5);
}
