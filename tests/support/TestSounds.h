// The project's test sounds (tests/data/audio/, made by
// tools/make_test_sounds.sh) and helpers for tests that play them.
#pragma once

#include "support/TempDir.h"

#include <string>
#include <vector>

namespace testsupport {

// Lengths of the committed tones, decoder padding included: "short.mp3" plays
// about 0.34 s and "long.mp3" about 2.06 s.
constexpr double kShortSoundSeconds = 0.34;
constexpr double kLongSoundSeconds = 2.06;

// Copies tests/data/audio/<source> into <scratch>/data/audio/<asName>.
void installTestSound(const ScratchDir& scratch, const std::string& source,
                      const std::string& asName);

// The lines of `output` that the sound manager writes. On a machine without a
// sound card the system's audio libraries may print lines of their own before
// miniaudio settles on its null device; those are left out.
std::vector<std::string> soundManagerLines(const std::string& output);

} // namespace testsupport
