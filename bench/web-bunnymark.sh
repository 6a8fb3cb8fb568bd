#!/usr/bin/env bash
# The bunnymark in a browser against the desktop, in one run: the largest
# sprite count that the bunnymark's page keeps at RATE frames/s or more in
# headless Chromium (WebGL2 on SwiftShader, served from 127.0.0.1,
# bench/web_bunnymark.py), and the count the desktop bunnymark keeps at the
# same rate under Xvfb (Mesa llvmpipe, a 1024×768 window), searched by
# bench/bunny_search in one interleaved run, so that other work on the
# machine weighs on both alike. Prints the probes, the results and a
# Markdown line for docs/BENCHMARKS.md. A benchmark, never a test.
#
#   bench/web-bunnymark.sh [BUILD_DIR] [WEB_BUILD_DIR]     (build, build-web)
#
# Needs the desktop build's bench/bunnymark and bench/bunny_search
# (cmake --build BUILD_DIR --target bunnymark bunny_search) and `make web`.
# The page draws at the browser's display rate (requestAnimationFrame), so it
# can never pass 60 frames/s, and headless Chromium on a loaded machine may
# give less: the run first measures that ceiling with one sprite, and both
# searches keep 59 frames/s when the ceiling reaches it, otherwise 95 % of
# the ceiling (rounded down), which the table states.
#
# Settings (environment): WEB_BUNNY_RATE (59, or 95 % of a lower ceiling) the
# frame rate to keep;
# WEB_BUNNY_SECONDS (4) length of one probe, of which the first second is
# not counted; WEB_BUNNY_START (1024) the count both searches start from;
# WEB_BUNNY_TRIES (2) runs of a probe that falls below RATE, the best counts;
# WEB_BUNNY_MAX (none) the largest count probed. The quickest whole run:
#
#   WEB_BUNNY_SECONDS=2 WEB_BUNNY_START=1 WEB_BUNNY_MAX=1 WEB_BUNNY_TRIES=1 bench/web-bunnymark.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT" # the desktop bunnymark reads data/ from here
BUILD="${1:-build}"
WEB="${2:-build-web}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
case "$WEB" in /*) ;; *) WEB="$ROOT/$WEB" ;; esac
MAX=()
[ -n "${WEB_BUNNY_MAX:-}" ] && MAX=(--max "$WEB_BUNNY_MAX")
SECONDS_PER_PROBE="${WEB_BUNNY_SECONDS:-4}"
START="${WEB_BUNNY_START:-1024}"
TRIES="${WEB_BUNNY_TRIES:-2}"

for file in "$BUILD/bench/bunnymark" "$BUILD/bench/bunny_search"; do
  [ -x "$file" ] || { echo "web-bunnymark: no $file; cmake --build $BUILD --target bunnymark bunny_search" >&2; exit 1; }
done
[ -f "$WEB/bunnymark/index.html" ] || { echo "web-bunnymark: no $WEB/bunnymark; run make web" >&2; exit 1; }

page=(/usr/bin/python3 "$ROOT/bench/web_bunnymark.py" "$WEB/bunnymark")
ceiling=$("${page[@]}" 1 "$SECONDS_PER_PROBE" | awk '{ print $3 }')
echo "ceiling web 1 $ceiling"
RATE="${WEB_BUNNY_RATE:-$(awk -v c="$ceiling" 'BEGIN { print (c + 0 >= 59 ? 59 : int(c * 0.95)) }')}"
if ! awk -v c="$ceiling" -v r="$RATE" 'BEGIN { exit !(c + 0 >= r + 0 && r + 0 > 0) }'; then
  echo "web-bunnymark: the page shows only $ceiling frames/s with one sprite, below $RATE;" \
       "set WEB_BUNNY_RATE" >&2
  exit 1
fi

results="$(mktemp /tmp/velmora-web-bunny.XXXXXX)"
trap 'rm -f "$results"' EXIT
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
  "$BUILD/bench/bunny_search" --rate "$RATE" "${MAX[@]}" "$SECONDS_PER_PROBE" "$START" "$TRIES" \
  "desktop=$BUILD/bench/bunnymark" "web=${page[*]}" | tee "$results"

result() { awk -v n="$1" '$1 == "result" && $2 == n { print $3 }' "$results"; }
probes() { awk -v n="$1" '$1 == "probe" && $2 == n { c++ } END { print c + 0 }' "$results"; }
cpu="$(awk -F: '/model name/ { sub(/^ +/, "", $2); print $2; exit }' /proc/cpuinfo)"
echo
echo "| Bunnymark, 32-pixel sprites, kept at ≥ $RATE frames/s | sprites | probes |"
echo "|---|---|---|"
echo "| desktop: bench/bunnymark, Mesa llvmpipe under Xvfb, 1024×768 window | **$(result desktop)** | $(probes desktop) |"
echo "| web: the bunnymark page, headless Chromium $(/usr/bin/chromium --version 2>/dev/null | awk '{ print $2 }'), WebGL2 on SwiftShader, 1024×768 viewport | **$(result web)** | $(probes web) |"
echo
echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($cpu), $(uname -sr);" \
     "the page's ceiling with one sprite $ceiling frames/s; $SECONDS_PER_PROBE s per probe," \
     "first second not counted, best of up to $TRIES runs; load average at the end" \
     "$(cut -d' ' -f1-3 /proc/loadavg)."
