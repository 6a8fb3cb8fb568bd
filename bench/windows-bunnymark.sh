#!/usr/bin/env bash
# The bunnymark under Wine against the native Linux build, in one run: the
# largest sprite count that the Windows bunnymark (build-windows/bench/
# bunnymark.exe, cross-built by `make windows`) keeps at RATE frames/s under
# Wine, and the count the Linux bunnymark keeps, both drawn by Mesa llvmpipe
# under Xvfb in a 1024×768 window, searched by bench/bunny_search in one
# interleaved run, so that other work on the machine weighs on both alike.
# Prints the probes, the results and a Markdown table for docs/BENCHMARKS.md.
# A benchmark, never a test.
#
#   bench/windows-bunnymark.sh [BUILD_DIR] [WINDOWS_BUILD_DIR]   (build, build-windows)
#
# Needs the Linux build's bench/bunnymark and bench/bunny_search
# (cmake --build BUILD_DIR --target bunnymark bunny_search) and `make windows`.
# Wine runs quiet in a prefix of its own (BUILD_DIR/wine-prefix).
#
# Settings (environment): WINDOWS_BUNNY_RATE (60) the frame rate to keep;
# WINDOWS_BUNNY_SECONDS (4) length of one probe, of which the first second
# is not counted; WINDOWS_BUNNY_START (1024) the count both searches start
# from; WINDOWS_BUNNY_TRIES (2) runs of a probe that falls below RATE, the
# best counts.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT" # both bunnymarks read data/ from here
BUILD="${1:-build}"
WINDOWS="${2:-build-windows}"
RATE="${WINDOWS_BUNNY_RATE:-60}"
SECONDS_PER_PROBE="${WINDOWS_BUNNY_SECONDS:-4}"
START="${WINDOWS_BUNNY_START:-1024}"
TRIES="${WINDOWS_BUNNY_TRIES:-2}"

for file in "$BUILD/bench/bunnymark" "$BUILD/bench/bunny_search"; do
  [ -x "$file" ] || { echo "windows-bunnymark: no $file; cmake --build $BUILD --target bunnymark bunny_search" >&2; exit 1; }
done
[ -f "$WINDOWS/bench/bunnymark.exe" ] || { echo "windows-bunnymark: no $WINDOWS/bench/bunnymark.exe; run make windows" >&2; exit 1; }
command -v wine >/dev/null || { echo "windows-bunnymark: no wine; run scripts/bootstrap.sh windows" >&2; exit 1; }

export WINEPREFIX="$ROOT/$BUILD/wine-prefix" WINEDEBUG=-all
results="$(mktemp /tmp/velmora-windows-bunny.XXXXXX)"
trap 'rm -f "$results"; wineserver -k 2>/dev/null || true' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c '
  wineboot -i >/dev/null 2>&1; wineserver -w
  exec "$@"' search \
  "$BUILD/bench/bunny_search" --rate "$RATE" "$SECONDS_PER_PROBE" "$START" "$TRIES" \
  "linux=$ROOT/$BUILD/bench/bunnymark" "wine=wine $ROOT/$WINDOWS/bench/bunnymark.exe" | tee "$results"

result() { awk -v n="$1" '$1 == "result" && $2 == n { print $3 }' "$results"; }
probes() { awk -v n="$1" '$1 == "probe" && $2 == n { c++ } END { print c + 0 }' "$results"; }
cpu="$(awk -F: '/model name/ { sub(/^ +/, "", $2); print $2; exit }' /proc/cpuinfo)"
echo
echo "| Bunnymark, 32-pixel sprites, kept at ≥ $RATE frames/s | sprites | probes |"
echo "|---|---|---|"
echo "| Linux: bench/bunnymark, Mesa llvmpipe under Xvfb, 1024×768 window | **$(result linux)** | $(probes linux) |"
echo "| Windows: bunnymark.exe under $(WINEDEBUG=-all wine --version 2>/dev/null), Mesa llvmpipe under Xvfb, 1024×768 window | **$(result wine)** | $(probes wine) |"
echo
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($cpu), $(uname -sr);" \
     "$SECONDS_PER_PROBE s per probe, first second not counted, best of up to $TRIES runs;" \
     "load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
