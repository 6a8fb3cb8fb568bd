#!/usr/bin/env bash
# Renders preview frames of the game from data/textures/atlas.png and
# atlas.txt, placing every picture where the game draws it, into
# build/assets/preview/ (look at them after changing the art).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
OUT="$BUILD_DIR/assets/preview"
SIZE="${PREVIEW_SIZE:-1024x768}"
mkdir -p "$OUT"
cmake --build "$BUILD_DIR" --target preview_scene >/dev/null

frame() { # frame NAME PICTURE@X,Y...
  local name=$1
  shift
  "$BUILD_DIR/tools/preview_scene" "$ROOT/data/textures/atlas.png" "$ROOT/data/textures/atlas.txt" \
    "$OUT/$name.png" "$SIZE" "$@"
}
# The bus at a given progress along its line from (0.33, 0.05) to (-0.25, 0).
bus_at() { awk -v p="$1" 'BEGIN { printf "%.6f,%.6f", 0.33 - 0.58 * p, 0.05 - 0.05 * p }'; }
pointer_at() { awk -v v="$1" 'BEGIN { printf "%.6f,0", 0.062 + 0.173 * v }'; }
gauge() { echo "gauge.png@0.062,0 pointer.png@$(pointer_at "$1")"; }

frame 1_title title.png@0,0
frame 2_title_game pysakki.png@0,0
frame 3_title_howto pysakki_peli.png@0,0
# shellcheck disable=SC2046
{
  frame 4_aiming_hint tausta_ukkeli.png@0,0 Bussi5.png@$(bus_at 0) $(gauge 0.5) press.png@0.06,0.03
  frame 5_arriving tausta_ukkeli.png@0,0 Bussi5.png@$(bus_at 0.2) $(gauge 0.5)
  frame 6_at_stop tausta_ukkeli.png@0,0 Bussi5.png@$(bus_at 0.42) $(gauge 0.45)
  frame 6b_at_stop_late tausta_ukkeli.png@0,0 Bussi5.png@$(bus_at 0.4283) $(gauge 0.45)
  frame 7_boarded tausta.png@0,0 Bussi5_full.png@$(bus_at 0.42) $(gauge 0.45)
  frame 8_leaving tausta.png@0,0 Bussi5_full.png@$(bus_at 0.75) $(gauge 0.45)
  frame 9_miss tausta_ukkeli.png@0,0 Bussi5.png@$(bus_at 0.5) $(gauge 0.1)
  for v in 0 0.35 0.5 0.65 1; do
    frame "gauge_$v" tausta_ukkeli.png@0,0 $(gauge "$v")
  done
}
echo "preview frames in $OUT"
