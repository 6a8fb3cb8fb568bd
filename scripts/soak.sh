#!/usr/bin/env bash
# Soak: plays the real game headless for a while, pressing the space bar at
# random moments, and checks that it stays healthy:
#   - no OpenGL error line ("GL_<NAME> - file:line") on standard output;
#   - every attempt came back to aiming within 10 s of game time, every press
#     while aiming started one, and none started by itself;
#   - resident memory does not climb after the warm-up: the median slope of
#     the VmRSS samples' floor (their least level over each third of the
#     span, slopes over a lag of a sixth of it) stays under the
#     limit; the least-squares slope and the live heap are reported beside it.
#     Each sample is taken after malloc_trim, so that the allocator's
#     high-water mark of a burst of freed blocks does not pass for growth.
#
#   scripts/soak.sh [SECONDS] [BUILD_DIR]      (default 600 s, build)
#
# The warm-up is the first minute; runs shorter than three minutes use their
# first third instead (20 s of a 60 s run). The slope limit, in KiB per
# minute, is VELMORA_SOAK_MAX_SLOPE (default 64): a per-frame leak of even one
# small heap block (32 bytes at the 70 to 200 frames per second this game
# runs at here) climbs 130 to 370 KiB a minute, while a flat game moves by
# single pages, by rare one-time steps and by a block the allocator trims and
# grows again every few seconds (a level toggling by some 60 KiB), which the
# median slope of the floor ignores.
# Set VELMORA_SOAK_SEED to replay a run's presses.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PLAY_SECONDS="${1:-600}"
BUILD_DIR="${2:-build}"
MAX_SLOPE="${VELMORA_SOAK_MAX_SLOPE:-64}"
SEED="${VELMORA_SOAK_SEED:-0}"
# -noreset: the server would otherwise reset whenever its last client leaves,
# and drop a client (a game starting) that connects during the reset.
SCREEN="-screen 0 1280x1024x24 -noreset"
cd "$ROOT"

SOAK="$BUILD_DIR/bench/velmora_soak"
if [ ! -x "$SOAK" ]; then
    echo "soak: $SOAK is missing; build first (make build)" >&2
    exit 1
fi
if [ "$PLAY_SECONDS" -ge 180 ]; then
    WARMUP=60
else
    WARMUP=$((PLAY_SECONDS / 3))
fi

LOG_DIR="$(mktemp -d)"
trap 'rm -rf "$LOG_DIR"' EXIT
OUT="$LOG_DIR/stdout"
ERR="$LOG_DIR/stderr"

echo "soak: playing ${PLAY_SECONDS} s under Xvfb; warm-up (memory growth not judged) the" \
    "first ${WARMUP} s"
status=0
# The game reads data/ relative to the working directory: the repository root.
timeout $((PLAY_SECONDS + 180)) xvfb-run -a -s "$SCREEN" "$SOAK" --seconds "$PLAY_SECONDS" \
    --warmup "$WARMUP" --deadline 10 --max-slope "$MAX_SLOPE" --seed "$SEED" \
    >"$OUT" 2>"$ERR" || status=$?

grep '^soak:' "$OUT" || true
if [ -s "$ERR" ]; then
    # Mostly the audio back-ends' probing on a machine without a sound card.
    echo "soak: $(wc -l <"$ERR") line(s) on standard error, the first ones:"
    sed 's/^/  /' "$ERR" | head -n 5
fi

failed=0
if [ "$status" -ne 0 ]; then
    echo "soak: FAIL: the soak program exited with status $status"
    failed=1
fi
gl_errors=$(grep -cE '^GL_[A-Z_]* - .+:[0-9]+$' "$OUT" || true)
if [ "$gl_errors" -ne 0 ]; then
    echo "soak: FAIL: $gl_errors OpenGL error line(s):"
    grep -E '^GL_[A-Z_]* - .+:[0-9]+$' "$OUT" | sort | uniq -c | head -n 10
    failed=1
else
    echo "soak: no OpenGL error line"
fi
if [ "$failed" -ne 0 ]; then
    exit 1
fi
echo "soak: passed"
