#!/usr/bin/env bash
# What each Windows program of `make windows` weighs (its .zip, its .exe) and
# how long the bus game takes under Wine from its start to its first picture
# (the first frame puts its clock into the window's title), in a Wine prefix
# made afresh for the first run (Wine prepares it then) and kept for the
# others. Prints a Markdown table for docs/BENCHMARKS.md. A benchmark, never
# a test.
#
#   bench/windows.sh [WINDOWS_BUILD_DIR] [RUNS]     (build-windows, 5)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-build-windows}"
RUNS="${2:-5}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
[ -f "$BUILD/velmora/velmora.exe" ] || { echo "windows: no $BUILD/velmora/velmora.exe; run make windows" >&2; exit 1; }

echo "| Program | .zip | .exe |"
echo "|---|---|---|"
for zip in "$BUILD"/*.zip; do
  name=$(basename "$zip" .zip)
  echo "| $name | $(du -k "$zip" | cut -f1) KiB | $(du -k "$BUILD/$name/$name.exe" | cut -f1) KiB |"
done
echo

prefix=$(mktemp -d /tmp/velmora-wine-prefix.XXXXXX)
trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true; rm -rf "$prefix"' EXIT
# One run: seconds from the start of wine to the first frame's title.
first_picture() {
  xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash -c '
    export WINEPREFIX="$1" WINEDEBUG=-all
    cd /tmp
    start=$(date +%s.%N)
    wine "$2" windowed >/dev/null 2>&1 &
    game=$!
    for _ in $(seq 1 1200); do
      window=$(xdotool search --onlyvisible --pid "$game" 2>/dev/null | head -n 1)
      if [ -n "$window" ] && xdotool getwindowname "$window" 2>/dev/null | grep -q "^Time: "; then
        awk -v now="$(date +%s.%N)" -v start="$start" "BEGIN { print now - start }"
        break
      fi
      sleep 0.05
    done
    wineserver -k' first "$prefix" "$BUILD/velmora/velmora.exe"
}
times=()
for run in $(seq 1 "$RUNS"); do
  seconds=$(first_picture)
  [ "$run" -eq 1 ] && cold=$seconds || times+=("$seconds")
  echo "run $run: $seconds s" >&2
done
median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print (NR % 2 ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2) }')
echo "| Bus game under $(WINEDEBUG=-all wine --version 2>/dev/null), start to first picture | seconds |"
echo "|---|---|"
echo "| first run, the Wine prefix made then | $(printf '%.1f' "$cold") |"
echo "| later runs, median of $((RUNS - 1)) | $(printf '%.1f' "$median") |"
echo
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores, $(uname -sr); load average at the end $(cut -d' ' -f1-3 /proc/loadavg)."
