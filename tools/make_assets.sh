#!/usr/bin/env bash
# Regenerates everything under data/ from the sources in tools/:
#   shaders     data/shaders/*.glsl are hand-written; checked under GL 4.5
#   pictures    tools/art/*.svg -> rasters -> data/textures/atlas.png + atlas.txt
#   font        DejaVu Sans -> data/textures/font.png + font.csv
#   sounds      tools/audio/*.sh -> data/audio/*.mp3
# Run from anywhere: `make assets` (installs the asset tools first) or
# `bash tools/make_assets.sh`. Set BUILD_DIR to use another build tree.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
WORK="$BUILD_DIR/assets"
TOOLS="$BUILD_DIR/tools"
DATA="$ROOT/data"
# Atlas size: one atlas texel per screen pixel at 1024x768 (see tools/README.md).
ATLAS_SIZE="${ATLAS_SIZE:-3288x4017}"

step() { echo "make_assets: $*"; }

step "building the tools"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target pack_atlas bake_font audio_probe asset_check synth_sounds \
  preview_scene >/dev/null

mkdir -p "$WORK/raster" "$WORK/audio" "$DATA/shaders" "$DATA/textures" "$DATA/audio"

# Runs a GL program under a private X server when there is no display.
with_display() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; fi
}

step "checking the shaders"
with_display "$TOOLS/asset_check" shaders "$DATA/shaders/textured.glsl" "$DATA/shaders/text.glsl" |
  grep -v '^GL '

step "rasterising the pictures"
ART="$ROOT/tools/art"
raster() { # raster OUT.png < svg text
  rsvg-convert --format png -o "$WORK/raster/$1"
}
cut_group() { # cut_group MARKER FILE: the SVG without the group between the markers
  sed "/<!--$1-->/,/<!--\/$1-->/d" "$2"
}
raster bus_full.png <"$ART/bus.svg"
cut_group PASSENGER "$ART/bus.svg" | raster bus.png
cut_group HOWTO "$ART/title_game.svg" | raster title_game.png
cut_group TAGLINE "$ART/title_game.svg" | raster title_howto.png
raster street_man.png <"$ART/street.svg"
cut_group MAN "$ART/street.svg" | raster street.png
for name in title gauge pointer press; do
  raster "$name.png" <"$ART/$name.svg"
done
cp "$ART/atlas.list" "$WORK/raster/atlas.list"

step "packing the atlas ($ATLAS_SIZE)"
"$TOOLS/pack_atlas" --size "$ATLAS_SIZE" --gutter 2 "$WORK/raster/atlas.list" \
  "$DATA/textures/atlas.png" "$DATA/textures/atlas.txt"

step "baking the font"
"$TOOLS/bake_font" /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
  "$DATA/textures/font.png" "$DATA/textures/font.csv" 48

step "synthesising the sounds"
bash "$ROOT/tools/audio/make_sounds.sh" "$WORK/audio" "$DATA/audio" "$TOOLS"

step "timing the atlas image"
with_display "$TOOLS/asset_check" atlas "$DATA/textures/atlas.png" 5 | grep -v '^GL '
step "done"
