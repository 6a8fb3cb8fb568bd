#include "velmora/Random.h"

#include <limits>

namespace velmora {

std::uint64_t Random::next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

int Random::below(int n) {
    if (n <= 0) {
        return 0;
    }
    const std::uint64_t range = static_cast<std::uint64_t>(n);
    // Drawing again below this limit keeps every value equally likely.
    const std::uint64_t limit = std::numeric_limits<std::uint64_t>::max() -
                                std::numeric_limits<std::uint64_t>::max() % range;
    std::uint64_t bits = next();
    while (bits >= limit) {
        bits = next();
    }
    return static_cast<int>(bits % range);
}

int Random::between(int low, int high) {
    if (high <= low) {
        return low;
    }
    const std::int64_t span = static_cast<std::int64_t>(high) - low + 1;
    if (span > std::numeric_limits<int>::max()) {
        return static_cast<int>(
            low + static_cast<std::int64_t>(next() % static_cast<std::uint64_t>(span)));
    }
    return low + below(static_cast<int>(span));
}

double Random::fraction() {
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); // 53 bits
}

float Random::uniform(float low, float high) {
    const float value = low + static_cast<float>(fraction()) * (high - low);
    return value < high ? value : low; // rounding can reach high
}

} // namespace velmora
