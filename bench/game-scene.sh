#!/usr/bin/env bash
# The game-like scene (bench/game_scene.cpp: seven batch draws a frame) on
# several commits of the engine, in one interleaved run: each commit's
# engine is built in a private folder (git archive of the commit, installed
# with `cmake --install --component engine`), the scene is built against
# each install as a game would be, and then the programs take turns, round
# after round, on one Xvfb display. Prints a line per run and, at the end,
# one line per commit:
#
#   game scene REF: F1 F2 F3 frames/s, mean M, M/first's mean R
#
#   bench/game-scene.sh [--rounds N] [--seconds S] [--sparks K] [--plain]
#                       [--program LABEL=PATH] ... [REF ...]
#
# REF is any commit (cb98880, HEAD, a branch). --program adds a game_scene
# already built (run from this tree, which holds data/) under LABEL, which
# is how the test suite runs this script at its smallest setting without
# building an engine. --plain draws the scene with the calls every commit
# has (game_scene --plain), the same program on each. Defaults: 3 rounds
# of 10 seconds, 2000 sparks.
# Settings: GAME_SCENE_KEEP=1 keeps the private folder; CMAKE_GENERATOR and
# ccache are used when present. Run it before each change that touches
# drawing, with the commit before the change and the change, and put the
# figures in docs/BENCHMARKS.md. It is a benchmark: the rates are not checked.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ROUNDS=3
SECONDS_PER_RUN=10
SPARKS=2000
PLAIN=()
labels=()
programs=()
folders=()
refs=()

while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) ROUNDS="$2"; shift 2 ;;
    --seconds) SECONDS_PER_RUN="$2"; shift 2 ;;
    --sparks) SPARKS="$2"; shift 2 ;;
    --plain) PLAIN=(--plain); shift ;;
    --program)
        labels+=("${2%%=*}"); programs+=("${2#*=}"); folders+=("$ROOT"); shift 2 ;;
    -h | --help) sed -n '2,24p' "$0"; exit 0 ;;
    -*) echo "game-scene.sh: unknown option $1" >&2; exit 2 ;;
    *) refs+=("$1"); shift ;;
    esac
done
if [ $((${#refs[@]} + ${#programs[@]})) -eq 0 ]; then
    echo "game-scene.sh: name at least one commit or --program" >&2
    exit 2
fi

WORK="$(mktemp -d)"
cleanup() {
    if [ "${GAME_SCENE_KEEP:-0}" = 1 ]; then
        echo "game-scene.sh: kept $WORK" >&2
    else
        rm -rf "$WORK"
    fi
}
trap cleanup EXIT

launcher=()
if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
generator=()
if command -v ninja > /dev/null; then
    generator=(-G Ninja)
fi

# Builds the engine at commit $1 and the scene against it, in $WORK/<n>.
build_ref() {
    local ref="$1" n="$2" dir
    dir="$WORK/$n"
    mkdir -p "$dir/src"
    git -C "$ROOT" archive "$ref" | tar -x -C "$dir/src"
    if [ -d "$ROOT/.deps" ]; then
        cp -a "$ROOT/.deps" "$dir/src/"
    fi
    echo "game-scene.sh: building $ref" >&2
    cmake -S "$dir/src" -B "$dir/build" "${generator[@]}" "${launcher[@]}" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_TOOLS=OFF \
        > "$dir/build.log" 2>&1 &&
        cmake --build "$dir/build" --target velmora_engine >> "$dir/build.log" 2>&1 &&
        cmake --install "$dir/build" --component engine --prefix "$dir/prefix" \
            >> "$dir/build.log" 2>&1 &&
        cmake -S "$ROOT/bench/game-scene" -B "$dir/scene" "${generator[@]}" "${launcher[@]}" \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_PREFIX_PATH="$dir/prefix" \
            >> "$dir/build.log" 2>&1 &&
        cmake --build "$dir/scene" >> "$dir/build.log" 2>&1 || {
        echo "game-scene.sh: $ref did not build; the end of $dir/build.log:" >&2
        tail -20 "$dir/build.log" >&2
        GAME_SCENE_KEEP=1
        exit 1
    }
    labels+=("$ref")
    programs+=("$dir/scene/game_scene")
    folders+=("$dir/src")
}

n=0
for ref in "${refs[@]+"${refs[@]}"}"; do
    build_ref "$ref" "$n"
    n=$((n + 1))
done

# One display for every run, so that each program meets the same server.
display=""
for candidate in $(seq 140 199); do
    if [ ! -e "/tmp/.X$candidate-lock" ] && [ ! -e "/tmp/.X11-unix/X$candidate" ]; then
        display=":$candidate"
        break
    fi
done
if [ -z "$display" ]; then
    echo "game-scene.sh: no free X display number" >&2
    exit 1
fi
Xvfb "$display" -screen 0 1280x1024x24 -noreset > "$WORK/xvfb.log" 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2> /dev/null || true; wait "$xvfb" 2> /dev/null || true; cleanup' EXIT
for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X${display#:}" ] && break
    sleep 0.1
done

declare -A rates
for round in $(seq "$ROUNDS"); do
    for i in "${!programs[@]}"; do
        line="$(cd "${folders[$i]}" && DISPLAY="$display" vblank_mode=0 \
            "${programs[$i]}" "${PLAIN[@]+"${PLAIN[@]}"}" "$SPARKS" "$SECONDS_PER_RUN" \
            2> "$WORK/run.err" |
            grep '^game scene:' || true)"
        rate="$(sed -n 's/.* \([0-9.]*\) frames\/s$/\1/p' <<< "$line")"
        if [ -z "$rate" ]; then
            echo "game-scene.sh: ${labels[$i]} printed no rate:" >&2
            cat "$WORK/run.err" >&2
            exit 1
        fi
        echo "round $round ${labels[$i]}: $line"
        rates[$i]="${rates[$i]:-} $rate"
    done
done

first_mean=""
for i in "${!programs[@]}"; do
    mean="$(awk '{ s = 0; for (i = 1; i <= NF; i++) s += $i; printf "%.1f", s / NF }' \
        <<< "${rates[$i]}")"
    first_mean="${first_mean:-$mean}"
    ratio="$(awk -v a="$mean" -v b="$first_mean" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')"
    echo "game scene ${labels[$i]}:${rates[$i]} frames/s, mean $mean, $ratio of ${labels[0]}'s"
done
