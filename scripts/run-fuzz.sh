#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang in their own build
# directory and runs each for a bounded time on a scratch copy of its
# committed seed corpus (and, for the TrueType checks, a real font). Fails
# if a target crashes, hangs, leaks or trips a sanitizer.
#
#   scripts/run-fuzz.sh [build-dir]     (default build-fuzz)
#   VELMORA_FUZZ_SECONDS=30             time per target
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${1:-build-fuzz}"
SECONDS_PER_TARGET="${VELMORA_FUZZ_SECONDS:-30}"
cd "$ROOT"

# The release's default clang++, whose version the bootstrap matched with its
# sanitizer and libFuzzer runtime.
CXX_COMPILER="$(command -v clang++ || true)"
if [ -z "$CXX_COMPILER" ]; then
  echo "fuzz: clang++ not found; run scripts/bootstrap.sh test first" >&2
  exit 1
fi
cmake -S fuzz -B "$BUILD_DIR" -G Ninja -DCMAKE_CXX_COMPILER="$CXX_COMPILER" >/dev/null
cmake --build "$BUILD_DIR"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
ARTIFACTS="$(cd "$BUILD_DIR" && pwd)/artifacts"
mkdir -p "$ARTIFACTS"

status=0
for target in atlas_description font_description truetype recording; do
  seeds="fuzz/corpus/${target%%_*}"
  extra=()
  if [ "$target" = truetype ]; then
    # A real font as the seed: DejaVu Sans, which the build needs anyway.
    mkdir -p "$WORK/truetype-seeds"
    cp /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$WORK/truetype-seeds/"
    extra=("$WORK/truetype-seeds")
  fi
  # New inputs go to a scratch corpus; the committed seeds are only read.
  mkdir -p "$WORK/$target"
  echo "fuzz: $target for ${SECONDS_PER_TARGET}s"
  if ! "$BUILD_DIR/fuzz_$target" -max_total_time="$SECONDS_PER_TARGET" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$ARTIFACTS/$target-" \
      "$WORK/$target" "$seeds" "${extra[@]}" >"$WORK/$target.log" 2>&1; then
    echo "fuzz: $target FAILED; log follows, inputs in $ARTIFACTS" >&2
    tail -n 60 "$WORK/$target.log" >&2
    status=1
  else
    grep -E "^stat::number_of_executed_units" "$WORK/$target.log" || true
  fi
done
exit "$status"
