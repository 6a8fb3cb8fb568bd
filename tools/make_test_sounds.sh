#!/usr/bin/env bash
# Makes the small sound files that the audio and game tests play: plain sine
# tones of known lengths, so a test can tell a restart from a resume and knows
# when a sound must have ended; and the short tone once more in every other
# format the engine reads (WAV, FLAC, Ogg Vorbis) and in one it does not (AIFF). The results are committed under
# tests/data/audio/, so running the tests never needs an encoder; run this
# again only to change them (needs sox and lame: scripts/bootstrap.sh assets).
#
#   tools/make_test_sounds.sh [output directory]
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
OUT="${1:-$ROOT/tests/data/audio}"
mkdir -p "$OUT"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# name, seconds, frequency in Hz
tone() {
    local name="$1" seconds="$2" frequency="$3"
    # 48 kHz mono, the rate miniaudio's null device runs at, so no resampling
    # blurs the lengths. A short fade avoids clicks at both ends.
    sox -n -r 48000 -c 1 -b 16 "$work/$name.wav" synth "$seconds" sine "$frequency" \
        fade 0.005 "$seconds" 0.005 vol 0.5
    lame --quiet --noreplaygain --resample 48 -b 64 -m m "$work/$name.wav" "$OUT/$name.mp3"
}

tone short 0.3 660
tone long 2.0 440
for format in wav flac ogg aiff; do
    sox "$work/short.wav" "$OUT/short.$format"
done
echo "test sounds written to $OUT"
