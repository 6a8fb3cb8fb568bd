#!/usr/bin/env bash
# Regenerates everything under data/ from the sources in tools/:
#   shaders     data/shaders/*.glsl are hand-written; checked under GL 4.5
#   pictures    tools/art/*.svg -> rasters -> data/textures/atlas.png + atlas.txt
#   icon        tools/art/icon.svg + bus.svg -> data/icons/velmora.svg + velmora.png
#   font        DejaVu Sans (ASCII, Latin-1) -> data/textures/font.png + font.csv
#   sounds      tools/audio/*.sh -> data/audio/*.mp3
#   example     tools/art/example_atlas.list -> examples/bounce/data/ (its own
#               small atlas, and one of the game's sounds)
#   breakout    tools/art/breakout/*.svg -> examples/breakout/data/pictures/
#               (separate PNG files, packed by the engine at load time), and
#               its hit sound
#   glow        tools/art/glow/*.txt (pixel art as text) ->
#               examples/glow/data/pictures/
# Run from anywhere: `make assets` (installs the asset tools first) or
# `bash tools/make_assets.sh`. Set BUILD_DIR to use another build tree.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
WORK="$BUILD_DIR/assets"
TOOLS="$BUILD_DIR/tools"
DATA="$ROOT/data"
# Atlas size in texels. 3288x4017 would map every picture 1:1 to screen
# pixels at 1024x768; three quarters of that decodes and uploads in about
# half the time, which the game's start-up needs (see tools/README.md).
ATLAS_SIZE="${ATLAS_SIZE:-2466x3013}"

step() { echo "make_assets: $*"; }

step "building the tools"
cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD_DIR" --target pack_atlas bake_font audio_probe asset_check synth_sounds \
  preview_scene pixel_art >/dev/null

mkdir -p "$WORK/raster" "$WORK/audio" "$DATA/shaders" "$DATA/textures" "$DATA/audio"

# Runs a GL program under a private X server when there is no display.
# (A private runtime directory keeps Mesa from complaining about a missing one.)
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR="$WORK/runtime"
  mkdir -p -m 700 "$XDG_RUNTIME_DIR"
  export XDG_RUNTIME_DIR
fi
with_display() {
  if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"; fi
}

step "checking the shaders"
with_display "$TOOLS/asset_check" shaders "$DATA/shaders/textured.glsl" "$DATA/shaders/text.glsl" |
  grep -v '^GL '

step "rasterising the pictures for a $ATLAS_SIZE atlas"
ART="$ROOT/tools/art"
# svg_for RASTER: the SVG a raster is drawn from. Some pictures are another
# one with a group cut out between <!--MARKER--> and <!--/MARKER-->. The
# SVGs are written next to copies of all sources, so the pictures that one
# draws into another (<image href="man.svg">) are found.
mkdir -p "$WORK/svg"
cp "$ART"/*.svg "$WORK/svg/"
cut_group() { sed "/<!--$1-->/,/<!--\/$1-->/d" "$ART/$2"; }
cut_group PASSENGER bus.svg >"$WORK/svg/bus_empty.svg"
svg_for() {
  local out="$WORK/svg/raster_${1%.png}.svg"
  case "$1" in
    bus.png) cut_group PASSENGER bus.svg ;;
    bus_full.png) cat "$ART/bus.svg" ;;
    title_game.png) cut_group HOWTO title_game.svg ;;
    title_howto.png) cut_group TAGLINE title_game.svg ;;
    street_man.png) cat "$ART/street.svg" ;;
    street.png) cut_group MAN street.svg ;;
    *) cat "$ART/${1%.png}.svg" ;;
  esac >"$out"
  echo "$out"
}
# rasterise LIST SIZE DIR: draws every picture of an atlas list into DIR,
# with the list beside them for pack_atlas. Each picture is drawn straight at
# the texels it gets in an atlas of SIZE, which is sharper than drawing it at
# screen size and resampling.
rasterise() {
  local name raster width height tw th
  while read -r name raster width height; do
    case "$name" in '' | '#'*) continue ;; esac
    read -r tw th < <("$TOOLS/pack_atlas" --size "$2" --texels "$width" "$height")
    rsvg-convert --format png -w "$tw" -h "$th" -o "$3/$raster" "$(svg_for "$raster")"
  done <"$1"
  cp "$1" "$3/atlas.list"
}
rasterise "$ART/atlas.list" "$ATLAS_SIZE" "$WORK/raster"

step "packing the atlas ($ATLAS_SIZE)"
"$TOOLS/pack_atlas" --size "$ATLAS_SIZE" --gutter 2 --filter 0 "$WORK/raster/atlas.list" \
  "$DATA/textures/atlas.png" "$DATA/textures/atlas.txt"

step "drawing the icon"
# The installed icon must stand alone: bus.svg's drawing (its outer element
# dropped) goes into the icon in place of the BUS marker.
mkdir -p "$DATA/icons"
sed -n '/^<svg /,/^<\/svg>/p' "$ART/bus.svg" | sed '1d;$d' >"$WORK/svg/bus_drawing.svg"
sed -e "/<!--BUS-->/{r $WORK/svg/bus_drawing.svg" -e 'd}' "$ART/icon.svg" >"$DATA/icons/velmora.svg"
rsvg-convert --format png -w 256 -h 256 -o "$DATA/icons/velmora.png" "$DATA/icons/velmora.svg"

step "baking the font"
"$TOOLS/bake_font" /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
  "$DATA/textures/font.png" "$DATA/textures/font.csv" 48

step "synthesising the sounds"
bash "$ROOT/tools/audio/make_sounds.sh" "$WORK/audio" "$DATA/audio" "$TOOLS"

step "timing the atlas image"
with_display "$TOOLS/asset_check" atlas "$DATA/textures/atlas.png" 5 | grep -v '^GL '
step "making the example's data"
# The example game under examples/ is built apart from the tree, so it keeps
# its own data/: a small atlas of three of the game's pictures, drawn larger
# than the game draws them, and a sound. The shaders and the font come with
# the installed engine.
EXAMPLE_DATA="$ROOT/examples/bounce/data"
EXAMPLE_ATLAS_SIZE=548x670
mkdir -p "$WORK/example" "$EXAMPLE_DATA/textures" "$EXAMPLE_DATA/audio"
rasterise "$ART/example_atlas.list" "$EXAMPLE_ATLAS_SIZE" "$WORK/example"
"$TOOLS/pack_atlas" --size "$EXAMPLE_ATLAS_SIZE" --gutter 2 --filter 0 "$WORK/example/atlas.list" \
  "$EXAMPLE_DATA/textures/atlas.png" "$EXAMPLE_DATA/textures/atlas.txt"
cp "$DATA/audio/stab.mp3" "$EXAMPLE_DATA/audio/"

step "making the breakout example's data"
# One PNG per picture, each at the size it is drawn at: the example packs
# them itself when it starts. The hit is a short plucked string.
BREAKOUT_DATA="$ROOT/examples/breakout/data"
mkdir -p "$BREAKOUT_DATA/pictures" "$BREAKOUT_DATA/audio"
for svg in "$ART"/breakout/*.svg; do
  name=$(basename "$svg" .svg)
  rsvg-convert --format png -o "$BREAKOUT_DATA/pictures/$name.png" "$svg"
done
sox -R -n -r 44100 -c 1 -b 16 "$BREAKOUT_DATA/audio/hit.wav" \
  synth 0.14 pluck 880 fade q 0.001 0.14 0.12 gain -3

step "making the glow example's pictures"
GLOW_PICTURES="$ROOT/examples/glow/data/pictures"
rm -rf "$GLOW_PICTURES"
mkdir -p "$GLOW_PICTURES"
for art in "$ART"/glow/*.txt; do
  "$TOOLS/pixel_art" "$art" "$GLOW_PICTURES/$(basename "${art%.txt}").png"
done

step "done"
