#!/usr/bin/env bash
# The web pages' figures for docs/BENCHMARKS.md: each page's weight (HTML,
# JS, WASM, packed data, and all of it gzip-compressed as a server sends it:
# each file with gzip -6) and the time from navigation to its first frame in
# headless Chromium on 127.0.0.1 (median of RUNS), as a Markdown table.
#
#   bench/web.sh [WEB_BUILD_DIR] [RUNS]      (after make web; build-web, 3)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
WEB="${1:-$ROOT/build-web}"
RUNS="${2:-3}"
OUT="$(mktemp -d /tmp/velmora-web-bench.XXXXXX)"
trap 'rm -rf "$OUT"' EXIT

kib() { awk -v b="$1" 'BEGIN { printf "%.1f", b / 1024 }'; }
size() { stat -c %s "$1" 2>/dev/null || echo 0; }
gzipped() { if [ -f "$1" ]; then gzip -6 -c "$1" | wc -c; else echo 0; fi; }

echo "| Page | HTML, KiB | JS, KiB | WASM, KiB | data, KiB | total, KiB | gzip-compressed, KiB | navigation → first frame, s (median of $RUNS; range) |"
echo "|---|---|---|---|---|---|---|---|"
for page in velmora bounce breakout glow catcher bunnymark; do
  dir="$WEB/$page"
  [ -f "$dir/index.html" ] || continue
  html=$(size "$dir/index.html") js=$(size "$dir/$page.js")
  wasm=$(size "$dir/$page.wasm") data=$(size "$dir/$page.data")
  packed=0
  for file in "$dir/index.html" "$dir/$page.js" "$dir/$page.wasm" "$dir/$page.data"; do
    packed=$((packed + $(gzipped "$file")))
  done
  times=()
  for run in $(seq "$RUNS"); do
    if /usr/bin/python3 "$ROOT/tests/support/web_page.py" "$dir" "$OUT/$page-$run" \
        --query windowed frames 1 >/dev/null 2>&1; then
      times+=("$(awk '$1 == "loaded" { print $2 }' "$OUT/$page-$run/facts.txt")")
    fi
  done
  spread=$(printf '%s\n' "${times[@]}" | sort -g | awk '
    { v[NR] = $1 } END { if (NR == 0) { print "failed"; exit }
      printf "%.2f (%.2f–%.2f)", v[int((NR + 1) / 2)], v[1], v[NR] }')
  echo "| $page | $(kib "$html") | $(kib "$js") | $(kib "$wasm") | $(kib "$data") |" \
       "$(kib $((html + js + wasm + data))) | $(kib "$packed") | $spread |"
done
