#!/usr/bin/env bash
# The benchmarks, in one run (`make bench`): the game's frame rate beside a
# bare GLFW loop and a minimal hand-written OpenGL program that draws the same
# five quads, windowed (1024×768 on a 1280×1024 Xvfb) and full screen (a
# 1920×1080 Xvfb), and windowed also with its F3 overlay shown; start-up to
# the first frame with its breakdown; the sprite count the engine's sprite
# batch keeps at 60 frames/s against a LÖVE SpriteBatch (the bunnymarks);
# peak and long-run resident memory. Prints the table and writes it into
# docs/BENCHMARKS.md between its result markers.
#
#   bench/run.sh [BUILD_DIR]
#
# Settings (environment): BENCH_ROUNDS (5) interleaved rounds of the three
# frame-rate programs per display; BENCH_SPAN (10) seconds counted per run;
# BENCH_GAME_SKIP (11) seconds after the game's first frame before counting,
# so that only the game picture is measured (the titles end at 10.8 s);
# BENCH_SKIP (2) the same for the two comparison programs; BENCH_STARTUP_RUNS
# (11) start-up runs per program; BENCH_SOAK_SECONDS (240) length of the
# memory run; BENCH_SPRITE_SECONDS (3) length of one bunnymark probe, of which
# the first second is not counted; BENCH_SPRITE_START (256) the count the
# bunnymark searches start from; BENCH_SPRITE_TRIES (2) runs of a probe
# that falls below 60 frames/s, of which the best counts; BENCH_SPRITE_MAX
# (none) the largest count those searches probe;
# BENCH_SPRITE_CPU_COUNT (20000) the count of 1-pixel sprites at which the
# CPU time per sprite is measured; BENCH_SPRITE_ROUNDS (3) interleaved rounds
# of that and of the sweep of sprite sides; BENCH_PARTS ("windowed
# fullscreen sprites soak") the parts to run, the others are reported as not
# measured, and a partial run leaves BENCH_DOC as it was; BENCH_DOC
# (docs/BENCHMARKS.md).
#
# BENCH_QUICK=1 shortens the sprite part to a few minutes (3-second probes,
# one try, one round, searches from 1024); with BENCH_PARTS=sprites that is
# the quick way to the three-peer table:
#
#   BENCH_QUICK=1 BENCH_PARTS=sprites bench/run.sh
#
# Frames are counted from outside: bench/swapcount.c is preloaded into each
# program and counts its glfwSwapBuffers calls; every program is ended with
# Escape, as a player ends it. Absolute numbers on a shared machine are noisy,
# so each comparison is a ratio of runs made in the same round, alternating.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$ROOT"

ROUNDS="${BENCH_ROUNDS:-5}"
SPAN="${BENCH_SPAN:-10}"
GAME_SKIP="${BENCH_GAME_SKIP:-11}"
SKIP="${BENCH_SKIP:-2}"
STARTUP_RUNS="${BENCH_STARTUP_RUNS:-11}"
SOAK_SECONDS="${BENCH_SOAK_SECONDS:-240}"
SPRITE_SECONDS="${BENCH_SPRITE_SECONDS:-3}"
SPRITE_START="${BENCH_SPRITE_START:-256}"
SPRITE_TRIES="${BENCH_SPRITE_TRIES:-2}"
SPRITE_MAX="${BENCH_SPRITE_MAX:-}"
CPU_COUNT="${BENCH_SPRITE_CPU_COUNT:-20000}"
CPU_ROUNDS="${BENCH_SPRITE_ROUNDS:-3}"
if [ "${BENCH_QUICK:-0}" = 1 ]; then
    SPRITE_SECONDS="${BENCH_SPRITE_SECONDS:-3}"
    SPRITE_START="${BENCH_SPRITE_START:-1024}"
    SPRITE_TRIES="${BENCH_SPRITE_TRIES:-1}"
    CPU_ROUNDS="${BENCH_SPRITE_ROUNDS:-1}"
fi
PARTS=" ${BENCH_PARTS:-windowed fullscreen sprites soak} "
DOC="${BENCH_DOC:-docs/BENCHMARKS.md}"

# ---------------------------------------------------------------------------
# Inside an X server: measure one display mode and append raw result lines.
# ---------------------------------------------------------------------------

# Ends a program as a player would, with Escape; SIGTERM, then SIGKILL, if it
# does not go. Prints the exit status.
stop_program() {
    local pid=$1 window
    window=$(xdotool search --pid "$pid" 2>/dev/null | head -n 1 || true)
    if [ -n "$window" ]; then
        timeout 5 xdotool windowfocus --sync "$window" key Escape >/dev/null 2>&1 || true
    fi
    local i
    for i in $(seq 1 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        echo "bench: pid $pid ignored Escape; sending SIGTERM" >&2
        kill -TERM "$pid" 2>/dev/null || true
        sleep 2
        kill -KILL "$pid" 2>/dev/null || true
    fi
    local status=0
    wait "$pid" || status=$?
    echo "$status"
}

# Whether a swapcount file says the measurement is complete: its counting
# window has closed (SPAN > 0) or the first frame was shown (SPAN = 0).
counts_done() {
    local file=$1 span=$2 line
    [ -f "$file" ] || return 1
    while IFS= read -r line; do
        if [ "$span" = 0 ]; then
            case $line in first_swap_ns=[1-9]*) return 0 ;; esac
        else
            [ "$line" = "window_closed=1" ] && return 0
        fi
    done <"$file"
    return 1
}

# counted_run OUT_PREFIX SKIP SPAN PROGRAM [ARG...]
# Runs PROGRAM with the swap counter until its counting window has closed
# (SPAN > 0) or its first frame is shown (SPAN = 0), sampling its VmRSS
# every half second, then ends it. Leaves OUT_PREFIX.counts (swapcount's
# file), .rss ("milliseconds KiB" lines), .hwm (VmHWM KiB) and .status.
# With RUN_KEY set (xdotool key names, separated by spaces), those keys are
# pressed in the program's window as soon as the window exists, long before
# the counting window opens; OUT_PREFIX.key then says whether they were
# delivered.
counted_run() {
    local prefix=$1 skip=$2 span=$3
    shift 3
    rm -f "$prefix".*
    local start=${EPOCHREALTIME/./}
    SWAPCOUNT_OUT="$prefix.counts" SWAPCOUNT_SKIP="$skip" SWAPCOUNT_SPAN="$span" \
        LD_PRELOAD="$SWAPCOUNT" "$LAUNCH" "$@" >"$prefix.stdout" 2>"$prefix.stderr" &
    local pid=$!
    local deadline=$((${EPOCHREALTIME/./} + (skip + span + 60) * 1000000))
    # Shell built-ins only, apart from sleep: the machine has two cores and
    # every process started here competes with the program being measured.
    local key value rest now window
    local pressed=${RUN_KEY:+no}
    while kill -0 "$pid" 2>/dev/null; do
        now=${EPOCHREALTIME/./}
        if [ "$pressed" = no ]; then
            window=$(xdotool search --pid "$pid" 2>/dev/null | head -n 1 || true)
            if [ -n "$window" ] &&
                # shellcheck disable=SC2086 # one argument per key
                timeout 5 xdotool windowfocus --sync "$window" key $RUN_KEY >/dev/null 2>&1; then
                pressed=yes
            fi
        fi
        while read -r key value rest; do
            if [ "$key" = "VmRSS:" ]; then
                echo "$(((now - start) / 1000)) $value" >>"$prefix.rss"
            fi
        done <"/proc/$pid/status" 2>/dev/null || true
        if counts_done "$prefix.counts" "$span"; then
            break
        fi
        if [ "$now" -gt "$deadline" ]; then
            echo "bench: $* did not finish its measurement in time" >&2
            break
        fi
        sleep 0.5
    done
    awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" >"$prefix.hwm" 2>/dev/null || true
    [ -n "$pressed" ] && echo "$pressed" >"$prefix.key"
    stop_program "$pid" >"$prefix.status"
}


# The bunnymarks: the engine, LÖVE and SFML (when built), side by side. The
# count each keeps at 60 frames/s with sprites of 32 and of 1 pixel, searched
# in one interleaved run per size; the CPU time each spends per 1-pixel
# sprite at one common count, interleaved; the engine's choice of mesh or
# quad against full quads at every side from 1 to 64 pixels, interleaved;
# then where the engine's frame goes at its count, with sprites of 32, 8 and
# 1 pixels, each as the batch chooses and as full quads (--quads).
sprites() {
    local results=$1 build=$2
    local peers=("engine=$ROOT/$build/bench/bunnymark" "love=love $ROOT/bench/love-bunnymark")
    [ -x "$ROOT/$build/bench/sfml_bunnymark" ] && peers+=("sfml=$ROOT/$build/bench/sfml_bunnymark")
    local size peer name command
    for size in 32 1; do
        local sized=()
        for peer in "${peers[@]}"; do
            sized+=("${peer%%=*}=${peer#*=} --size $size")
        done
        "$ROOT/$build/bench/bunny_search" ${SPRITE_MAX:+--max "$SPRITE_MAX"} \
            "$SPRITE_SECONDS" "$SPRITE_START" "$SPRITE_TRIES" \
            "${sized[@]}" | sed "s/^/sprites $size /" | tee -a "$results/raw.txt"
    done
    # CPU per sprite: every peer at the same count, in turn, CPU_ROUNDS times.
    local round line
    for round in $(seq 1 "$CPU_ROUNDS"); do
        for peer in "${peers[@]}"; do
            name=${peer%%=*}
            command=${peer#*=}
            # shellcheck disable=SC2086 # the command is a program and its flags
            line=$($command --size 1 "$CPU_COUNT" $((SPRITE_SECONDS + 1)) 2>/dev/null </dev/null |
                awk '/ sprites .* frames\/s/ {print $3, $5}')
            echo "spritecpu $name $round ${line:-nan nan}" | tee -a "$results/raw.txt"
        done
    done
    # Mesh or quad by drawn size against full quads, at a count whose fill
    # stays within reach of a frame rate at every size.
    local count flag
    for round in $(seq 1 "$CPU_ROUNDS"); do
        for size in 1 2 4 8 16 32 64; do
            count=$((4000000 / (size * size)))
            [ "$count" -gt "$CPU_COUNT" ] && count=$CPU_COUNT
            for flag in "" --quads; do
                # shellcheck disable=SC2086 # no flag, or the one flag
                line=$("$ROOT/$build/bench/bunnymark" $flag --size "$size" "$count" \
                    $((SPRITE_SECONDS + 1)) 2>/dev/null </dev/null | awk '/ sprites / {print $3, $5}')
                echo "spritesize $size ${flag:-chosen} $round $count ${line:-nan nan}" |
                    tee -a "$results/raw.txt"
            done
        done
    done
    local found shape label
    found=$(awk '$1 == "sprites" && $2 == 32 && $3 == "result" && $4 == "engine" {print $5}' "$results/raw.txt")
    [ -n "$found" ] && [ "$found" -gt 0 ] || return 0
    for size in 32 8 1; do
        for shape in tight quads; do
            label=$size
            [ "$shape" = quads ] && label=${size}q
            # shellcheck disable=SC2046 # no flag, or the one flag
            "$ROOT/$build/bench/bunnymark" $([ "$shape" = quads ] && echo --quads) "$found" \
                $((SPRITE_SECONDS + 1)) --profile --size "$size" 2>&1 |
                awk -v s="$label" '/ sprites / {rate = $3; cpu = $5} /^profile fill:/ {fragments = $3}
                    /^profile ms\/frame:/ {m = $4 " " $6 " " $8 " " $10 " " $12 " " $14}
                    END { print "spriteprofile", s, rate, m, cpu, fragments }' | tee -a "$results/raw.txt"
        done
    done
}

inner() {
    local mode=$1 results=$2 build=$3
    if [ "$mode" = sprites ]; then
        sprites "$results" "$build"
        return 0
    fi
    local arg=()
    [ "$mode" = windowed ] && arg=(windowed)
    # Preloaded from the private results folder: LD_PRELOAD would split the
    # checkout's path at a space or a colon.
    SWAPCOUNT="$results/swapcount.so"
    cp "$ROOT/$build/bench/swapcount.so" "$SWAPCOUNT"
    LAUNCH="$ROOT/$build/bench/bench_launch"
    local work="$results/$mode"
    mkdir -p "$work"
    # Windowed, the game runs twice more, focused and sent F3: once with its
    # overlay shown (one press) and once hidden again (two presses), so that
    # the two differ in nothing but the overlay.
    local programs=(game minimal bare)
    [ "$mode" = windowed ] && programs+=(overlay hidden)
    local count=${#programs[@]}
    local round name prefix skip fps cpu
    for round in $(seq 1 "$ROUNDS"); do
        # Rotate the order so that no program always runs first.
        local k
        for k in $(seq 0 $((count - 1))); do
            name=${programs[$(((round + k) % count))]}
            prefix="$work/fps-$name-$round"
            skip=$SKIP
            case $name in
            game)
                skip=$GAME_SKIP
                counted_run "$prefix" "$skip" "$SPAN" "$ROOT/$build/velmora" "${arg[@]}"
                ;;
            overlay | hidden)
                skip=$GAME_SKIP
                local keys=F3
                [ "$name" = hidden ] && keys="F3 F3"
                RUN_KEY=$keys counted_run "$prefix" "$skip" "$SPAN" "$ROOT/$build/velmora" "${arg[@]}"
                # A run whose presses were not delivered measured something else.
                [ "$(cat "$prefix.key" 2>/dev/null)" = yes ] || echo "nan" >"$prefix.counts"
                ;;
            minimal) counted_run "$prefix" "$skip" "$SPAN" "$ROOT/$build/bench/minimal_quads" "${arg[@]}" ;;
            bare) counted_run "$prefix" "$skip" "$SPAN" "$ROOT/$build/bench/bare_loop" "${arg[@]}" ;;
            esac
            fps=$(awk -F= '{v[$1]=$2} END {
                    if (v["window_closed"] != 1 || v["window_swaps"] < 2) { print "nan"; exit }
                    printf "%.1f", (v["window_swaps"] - 1) * 1e9 / (v["window_last_ns"] - v["window_first_ns"]) }' \
                "$prefix.counts" 2>/dev/null || echo nan)
            cpu=$(awk -F= '{v[$1]=$2} END {
                    if (v["window_closed"] != 1 || v["window_swaps"] < 2) { print "nan"; exit }
                    printf "%.3f", v["window_cpu_ns"] / 1e6 / (v["window_swaps"] - 1) }' \
                "$prefix.counts" 2>/dev/null || echo nan)
            echo "fps $mode $name $round $fps $(cat "$prefix.hwm") $(cat "$prefix.status") $cpu" |
                tee -a "$results/raw.txt"
        done
    done

    [ "$mode" = windowed ] || return 0
    local run ms
    for run in $(seq 1 "$STARTUP_RUNS"); do
        for name in game minimal bare; do
            prefix="$work/start-$name-$run"
            case $name in
            game) counted_run "$prefix" 0 0 "$ROOT/$build/velmora" windowed ;;
            minimal) counted_run "$prefix" 0 0 "$ROOT/$build/bench/minimal_quads" windowed ;;
            bare) counted_run "$prefix" 0 0 "$ROOT/$build/bench/bare_loop" windowed ;;
            esac
            ms=$(awk -F= '{v[$1]=$2} END {
                    if (v["first_swap_ns"] == 0 || v["launch_ns"] == 0) { print "nan"; exit }
                    printf "%.1f", (v["first_swap_ns"] - v["launch_ns"]) / 1e6 }' \
                "$prefix.counts" 2>/dev/null || echo nan)
            echo "startup $name $run $ms" | tee -a "$results/raw.txt"
        done
        "$LAUNCH" "$ROOT/$build/bench/startup_phases" 2>/dev/null |
            awk -v run="$run" '/^phase / {print "phase", run, $2, $3}' | tee -a "$results/raw.txt"
    done
}

if [ "${1:-}" = "--inner" ]; then
    inner "$2" "$3" "$4"
    exit 0
fi

# ---------------------------------------------------------------------------
# Outside: build, run both displays, the memory soak, then the table.
# ---------------------------------------------------------------------------

BUILD_DIR="${1:-build}"
for exe in velmora bench/minimal_quads bench/bare_loop bench/startup_phases bench/swapcount.so \
    bench/bench_launch bench/velmora_soak bench/bunnymark bench/bunny_search; do
    if [ ! -e "$BUILD_DIR/$exe" ]; then
        echo "bench: $BUILD_DIR/$exe is missing; build first (make build)" >&2
        exit 1
    fi
done

# Under /tmp, never a TMPDIR of the user's: the swap counter is preloaded from
# here, and its path must hold no space or colon.
RESULTS="$(mktemp -d /tmp/velmora-bench.XXXXXX)"
trap 'rm -rf "$RESULTS"' EXIT
touch "$RESULTS/raw.txt"

wanted() { [[ $PARTS == *" $1 "* ]]; }
if wanted sprites && ! command -v love >/dev/null; then
    echo "bench: love is missing (scripts/bootstrap.sh bench installs it)" >&2
    exit 1
fi

if wanted windowed; then
    echo "== windowed 1024x768 (Xvfb 1280x1024), the game also with its F3 overlay =="
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" --inner windowed "$RESULTS" "$BUILD_DIR"
fi
if wanted fullscreen; then
    echo "== full screen 1920x1080 (Xvfb 1920x1080) =="
    xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" bash "$0" --inner fullscreen "$RESULTS" "$BUILD_DIR"
fi
if wanted sprites; then
    echo "== sprites: bunnymark, engine, LÖVE and SFML, 1024x768 (Xvfb 1280x1024) =="
    echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$RESULTS/raw.txt"
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bash "$0" --inner sprites "$RESULTS" "$BUILD_DIR"
    echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)" | tee -a "$RESULTS/raw.txt"
fi
soak_status=0
touch "$RESULTS/soak.txt"
if wanted soak; then
    echo "== memory: soak of ${SOAK_SECONDS} s =="
    VELMORA_SOAK_MAX_SLOPE="${VELMORA_SOAK_MAX_SLOPE:-64}" \
        bash scripts/soak.sh "$SOAK_SECONDS" "$BUILD_DIR" | tee "$RESULTS/soak.txt" || soak_status=$?
fi

median() { # [decimals]
    { grep -v nan || true; } | sort -g | awk -v d="${1:-1}" '{a[NR] = $1} END {
        if (NR == 0) { print "n/a"; exit }
        m = (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2
        printf "%.*f\n", d, m }'
}
span_of() { # min–max
    { grep -v nan || true; } | sort -g | awk 'NR == 1 {lo = $1} {hi = $1} END { if (NR) printf "%s–%s", lo, hi; else print "n/a" }'
}
raw="$RESULTS/raw.txt"
fps_of() { awk -v m="$1" -v p="$2" '$1 == "fps" && $2 == m && $3 == p {print $5}' "$raw"; }
cpu_of() { awk -v m="$1" -v p="$2" '$1 == "fps" && $2 == m && $3 == p {print $8}' "$raw"; }
hwm_of() { awk -v m="$1" -v p="$2" '$1 == "fps" && $2 == m && $3 == p {print $6}' "$raw"; }
# Per-round ratio game / minimal, then their median.
# With "cpu": the ratio of CPU time per frame, (b) / game, so that above 1
# means the game costs less per frame.
ratio_of() {
    local column=5
    [ "${2:-}" = cpu ] && column=8
    awk -v m="$1" -v c="$column" '$1 == "fps" && $2 == m {f[$3, $4] = $c} END {
        for (k in f) { split(k, parts, SUBSEP)
            if (parts[1] == "game" && f["minimal", parts[2]] > 0 && f[k] > 0)
                printf "%.3f\n", (c == 5) ? f[k] / f["minimal", parts[2]] : f["minimal", parts[2]] / f[k] } }' "$raw"
}
# Per-round ratio of the game's frame rate with the F3 overlay shown to hidden.
overlay_ratio_of() {
    awk '$1 == "fps" && $2 == "windowed" {f[$3, $4] = $5} END {
        for (k in f) { split(k, parts, SUBSEP)
            if (parts[1] == "overlay" && f["hidden", parts[2]] > 0 && f[k] > 0)
                printf "%.3f\n", f[k] / f["hidden", parts[2]] } }' "$raw"
}
startup_of() { awk -v p="$1" '$1 == "startup" && $2 == p {print $4}' "$raw"; }
# The bunnymarks: SIDE NAME's searched count, and its probes as
# "count→rate" in order.
sprite_result_of() {
    awk -v s="$1" -v n="$2" '$1 == "sprites" && $2 == s && $3 == "result" && $4 == n {print $5}' "$raw" | grep . || echo n/a
}
sprite_probes_of() {
    awk -v s="$1" -v n="$2" '$1 == "sprites" && $2 == s && $3 == "probe" && $4 == n {printf "%s%s→%s", sep, $5, $6; sep = ", "}' "$raw"
}
# Ratio of two numbers, or n/a.
count_ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "n/a" }'
}
# NAME's CPU time per 1-pixel sprite in microseconds: median over the rounds.
sprite_cpu_of() {
    awk -v n="$1" -v c="$CPU_COUNT" '$1 == "spritecpu" && $2 == n && $5 != "nan" {printf "%.3f\n", $5 * 1000 / c}' "$raw" | median 3
}
# The sweep of sides: SIDE's frames/s or CPU ms per frame, with the shape the
# batch chose or with --quads, median over the rounds; and its count.
sprite_side_cpu_of() {
    awk -v s="$1" -v f="$2" '$1 == "spritesize" && $2 == s && $3 == f {print $7}' "$raw" | median 2
}
sprite_side_rate_of() {
    awk -v s="$1" -v f="$2" '$1 == "spritesize" && $2 == s && $3 == f {print $6}' "$raw" | median 1
}
sprite_side_count_of() {
    awk -v s="$1" '$1 == "spritesize" && $2 == s {print $5; exit}' "$raw"
}
# One figure of a profiled bunnymark run: PIXELS[q] FIELD (rate motion build
# upload draw fill rest cpu fragments); q: the run with full quads.
sprite_profile_of() {
    awk -v s="$1" -v f="$2" 'BEGIN { split("rate motion build upload draw fill rest cpu fragments", names, " ")
            for (i in names) column[names[i]] = i + 2 }
        $1 == "spriteprofile" && $2 == s { print $(column[f]); found = 1 }
        END { if (!found) print "n/a" }' "$raw"
}
phase_of() { awk -v k="$1" '$1 == "phase" && $3 == k {print $4}' "$raw"; }
verdict() { # value op limit
    awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
        if (v == "n/a" || v == "") { print "not measured"; exit }
        ok = (op == ">=") ? (v + 0 >= l + 0) : (v + 0 < l + 0); print ok ? "**met**" : "**not met**" }'
}

w_ratio=$(ratio_of windowed | median 3)
overlay_ratio=$(overlay_ratio_of | median 3)
engine_sprites=$(sprite_result_of 32 engine)
f_ratio=$(ratio_of fullscreen | median 3)
start_game=$(startup_of game | median)
soak_line=$(grep '^soak: rss' "$RESULTS/soak.txt" || true)
slope=$(echo "$soak_line" | sed -n 's/.*median slope \([-+0-9.]*\) KiB\/min.*/\1/p')
line_slope=$(echo "$soak_line" | sed -n 's/.*least-squares slope \([-+0-9.]*\) KiB\/min.*/\1/p')
soak_hwm=$(echo "$soak_line" | sed -n 's/.*VmHWM) \([0-9]*\) KiB.*/\1/p')
soak_first=$(echo "$soak_line" | sed -n 's/.*first \([0-9]*\) KiB.*/\1/p')
soak_last=$(echo "$soak_line" | sed -n 's/.*last \([0-9]*\) KiB.*/\1/p')
soak_min=$(echo "$soak_line" | sed -n 's/.*min \([0-9]*\) KiB.*/\1/p')
soak_max=$(echo "$soak_line" | sed -n 's/.*max \([0-9]*\) KiB.*/\1/p')

table="$RESULTS/table.md"
{
    echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(uname -m)), Mesa llvmpipe under Xvfb;"
    echo "$ROUNDS interleaved rounds per display, ${SPAN} s counted per run, $STARTUP_RUNS start-up runs, ${SOAK_SECONDS} s soak."
    echo
    echo "| Measure | 1024×768 windowed | 1920×1080 full screen | Target | Result |"
    echo "|---|---|---|---|---|"
    echo "| Game, frames/s (median; range) | $(fps_of windowed game | median) ($(fps_of windowed game | span_of)) | $(fps_of fullscreen game | median) ($(fps_of fullscreen game | span_of)) | | |"
    echo "| (b) minimal five quads, frames/s | $(fps_of windowed minimal | median) ($(fps_of windowed minimal | span_of)) | $(fps_of fullscreen minimal | median) ($(fps_of fullscreen minimal | span_of)) | | |"
    echo "| (a) bare GLFW clear + swap, frames/s | $(fps_of windowed bare | median) ($(fps_of windowed bare | span_of)) | $(fps_of fullscreen bare | median) ($(fps_of fullscreen bare | span_of)) | | |"
    echo "| **Game / (b)**, median of per-round ratios (range) | **$w_ratio** ($(ratio_of windowed | span_of)) | **$f_ratio** ($(ratio_of fullscreen | span_of)) | ≥ 0.95 | windowed $(verdict "$w_ratio" ">=" 0.95), full screen $(verdict "$f_ratio" ">=" 0.95) |"
    echo "| Game with its F3 overlay shown / shown and hidden again, frames/s | $(fps_of windowed overlay | median) ($(fps_of windowed overlay | span_of)) / $(fps_of windowed hidden | median) ($(fps_of windowed hidden | span_of)) | | | |"
    echo "| **Overlay shown / hidden**, median of per-round ratios (range) | **$overlay_ratio** ($(overlay_ratio_of | span_of)) | | ≥ 0.97 | $(verdict "$overlay_ratio" ">=" 0.97) |"
    echo "| CPU ms per frame (all threads): game / (b) / (a) | $(cpu_of windowed game | median 2) / $(cpu_of windowed minimal | median 2) / $(cpu_of windowed bare | median 2) | $(cpu_of fullscreen game | median 2) / $(cpu_of fullscreen minimal | median 2) / $(cpu_of fullscreen bare | median 2) | | |"
    echo "| CPU per frame, (b) / game, median of per-round ratios | $(ratio_of windowed cpu | median 3) | $(ratio_of fullscreen cpu | median 3) | ≥ 0.95 (corroborates) | |"
    echo "| **Start-up to first frame**, exec → first swap, median (range) | **$start_game ms** ($(startup_of game | span_of)) | | < 200 ms | $(verdict "$start_game" "<" 200) |"
    echo "| the same for (b) / for (a) | $(startup_of minimal | median) ms / $(startup_of bare | median) ms | | | |"
    echo "| Peak RSS (VmHWM) of the game after ~$((GAME_SKIP + SPAN)) s, KiB | $(hwm_of windowed game | median 0) | $(hwm_of fullscreen game | median 0) | | |"
    echo "| Peak RSS of (b) / (a), KiB | $(hwm_of windowed minimal | median 0) / $(hwm_of windowed bare | median 0) | $(hwm_of fullscreen minimal | median 0) / $(hwm_of fullscreen bare | median 0) | | |"
    echo "| RSS over the ${SOAK_SECONDS} s soak after its warm-up (first / min / max / last, KiB) | ${soak_first:-n/a} / ${soak_min:-n/a} / ${soak_max:-n/a} / ${soak_last:-n/a} | | flat | |"
    echo "| RSS trend after the warm-up: median slope (least-squares slope), KiB/min | **${slope:-n/a}** (${line_slope:-n/a}); soak peak ${soak_hwm:-n/a} KiB | | median slope < 64 KiB/min | $(verdict "${slope:-n/a}" "<" 64) |"
    echo
    unclean=$(awk '$1 == "fps" && $7 != 0' "$raw" | wc -l)
    echo "Frame-rate runs: $(awk '$1 == "fps"' "$raw" | wc -l), each ended with Escape; runs that did not exit with status 0: $unclean."
    echo "Overlay runs whose F3 presses were not delivered (left out): $(awk '$1 == "fps" && ($3 == "overlay" || $3 == "hidden") && $5 == "nan"' "$raw" | wc -l)."
    echo
    echo "Sprites kept at 60 frames/s or more, three peers (bunnymarks in a 1024×768 window, each sprite the gauge's pointer stretched to a square and blended; searched in one interleaved run per side, ${SPRITE_SECONDS} s per run, first second not counted, the best of up to $SPRITE_TRIES runs per probe); $(grep '^load average' "$raw" | paste -sd ';' - | sed 's/;/; /g')."
    echo
    echo "| Program | 32-px sprites at ≥ 60 frames/s | 1-px sprites at ≥ 60 frames/s | CPU per 1-px sprite at $CPU_COUNT sprites, µs (median of $CPU_ROUNDS) |"
    echo "|---|---|---|---|"
    echo "| Engine, \`SpriteBatch\` (bench/bunnymark) | **$(sprite_result_of 32 engine)** | **$(sprite_result_of 1 engine)** | $(sprite_cpu_of engine) |"
    echo "| LÖVE $(love --version 2>/dev/null | awk '{print $2}') SpriteBatch (bench/love-bunnymark) | $(sprite_result_of 32 love) | $(sprite_result_of 1 love) | $(sprite_cpu_of love) |"
    echo "| SFML 2.5, one \`sf::VertexArray\` (bench/sfml_bunnymark.cpp) | $(sprite_result_of 32 sfml) | $(sprite_result_of 1 sfml) | $(sprite_cpu_of sfml) |"
    e32=$(sprite_result_of 32 engine)
    e1=$(sprite_result_of 1 engine)
    r32s=$(count_ratio "$e32" "$(sprite_result_of 32 sfml)")
    r32l=$(count_ratio "$e32" "$(sprite_result_of 32 love)")
    r1s=$(count_ratio "$e1" "$(sprite_result_of 1 sfml)")
    r1l=$(count_ratio "$e1" "$(sprite_result_of 1 love)")
    echo "| **Engine / SFML** | **$r32s** (target ≥ 1.3: $(verdict "$r32s" ">=" 1.3)) | **$r1s** (target ≥ 2: $(verdict "$r1s" ">=" 2)) | $(count_ratio "$(sprite_cpu_of sfml)" "$(sprite_cpu_of engine)") (SFML / engine) |"
    echo "| **Engine / LÖVE** | **$r32l** (target ≥ 2: $(verdict "$r32l" ">=" 2)) | $r1l | $(count_ratio "$(sprite_cpu_of love)" "$(sprite_cpu_of engine)") (LÖVE / engine) |"
    echo
    echo "Probes (count→frames/s): $(for n in engine love sfml; do for s in 32 1; do echo "$n, $s px: $(sprite_probes_of $s $n)"; done; done | paste -sd ';' - | sed 's/;/; /g')."
    echo
    echo "The engine's choice of mesh or quad by drawn size against full quads (\`--quads\`) at every side, CPU ms per frame of all threads, median of $CPU_ROUNDS interleaved rounds (target: never more than the quads):"
    echo
    echo "| Side, px | Sprites | Chosen shape: frames/s, CPU ms/frame | Full quads: frames/s, CPU ms/frame | Quads / chosen, CPU |"
    echo "|---|---|---|---|---|"
    for size in 1 2 4 8 16 32 64; do
        chosen=$(sprite_side_cpu_of $size chosen)
        quads=$(sprite_side_cpu_of $size --quads)
        echo "| $size | $(sprite_side_count_of $size) | $(sprite_side_rate_of $size chosen), $chosen | $(sprite_side_rate_of $size --quads), $quads | $(count_ratio "$quads" "$chosen") |"
    done
    echo
    echo "Where the engine's frame goes at $engine_sprites sprites (bunnymark --profile, ms per frame; the profiled run finishes each frame with glFinish):"
    echo
    echo "| Sprite side, shape | frames/s | motion | vertex building | upload | draw call | fill (glFinish) | swap and the rest | CPU, all threads | fragments shaded per sprite |"
    echo "|---|---|---|---|---|---|---|---|---|---|"
    for size in 32 32q 8 8q 1 1q; do
        shape="shape chosen by size"
        case $size in *q) shape="full quads" ;; esac
        echo "| ${size%q} px, $shape | $(sprite_profile_of $size rate) | $(sprite_profile_of $size motion) | $(sprite_profile_of $size build) | $(sprite_profile_of $size upload) | $(sprite_profile_of $size draw) | $(sprite_profile_of $size fill) | $(sprite_profile_of $size rest) | $(sprite_profile_of $size cpu) | $(sprite_profile_of $size fragments) |"
    done
    echo
    echo "Start-up breakdown, in-process (bench/startup_phases, windowed, median of $STARTUP_RUNS runs, ms):"
    echo
    echo "| Phase | ms |"
    echo "|---|---|"
    for key in exec_to_main glfw_init window_and_context glew_and_viewport atlas_image ten_sprites \
        sprite_shader sound_engine eleven_sounds font first_frame total atlas_decode_only; do
        label=$key
        case $key in
        exec_to_main) label="exec → main (loader, libraries, static objects)" ;;
        glfw_init) label="glfwInit" ;;
        window_and_context) label="window and OpenGL context (glfwCreateWindow, make current)" ;;
        glew_and_viewport) label="GLEW and viewport" ;;
        atlas_image) label="atlas image: decode + upload (Texture::load)" ;;
        ten_sprites) label="ten sprites from the atlas description" ;;
        sprite_shader) label="sprite shader textured.glsl (compile, link, use)" ;;
        sound_engine) label="sound engine start (SoundManager::instance)" ;;
        eleven_sounds) label="eleven sounds (loadSound ×11, music started)" ;;
        font) label="font: text shader, font.png, font.csv" ;;
        first_frame) label="first frame (title picture, swap, glFinish)" ;;
        total) label="**total, main → first frame**" ;;
        atlas_decode_only) label="(of the atlas image: PNG decode alone)" ;;
        esac
        echo "| $label | $(phase_of "$key" | median) |"
    done
} >"$table"

echo
cat "$table"

cp "$table" "$BUILD_DIR/bench/last-table.md"
if [ "$PARTS" != " windowed fullscreen sprites soak " ]; then
    # The parts left out would read "n/a" over the last full results.
    echo
    echo "bench: a partial run (BENCH_PARTS=${BENCH_PARTS}); $DOC left as it was, the table is in $BUILD_DIR/bench/last-table.md"
    cp "$raw" "$BUILD_DIR/bench/last-run-raw.txt"
    exit 0
fi

begin_marker="<!-- bench results: begin -->"
end_marker="<!-- bench results: end -->"
mkdir -p "$(dirname "$DOC")"
if [ -f "$DOC" ] && grep -qF "$begin_marker" "$DOC"; then
    awk -v b="$begin_marker" -v e="$end_marker" -v t="$table" '
        $0 == b { print; while ((getline line < t) > 0) print line; skip = 1; next }
        $0 == e { skip = 0 }
        !skip { print }' "$DOC" >"$RESULTS/doc.md"
    cp "$RESULTS/doc.md" "$DOC"
else
    { echo "# Benchmarks"; echo; echo "$begin_marker"; cat "$table"; echo "$end_marker"; } >>"$DOC"
fi
echo
echo "bench: table written to $DOC"
cp "$raw" "$BUILD_DIR/bench/last-run-raw.txt"
echo "bench: raw results in $BUILD_DIR/bench/last-run-raw.txt"
if [ "$soak_status" -ne 0 ]; then
    echo "bench: the memory soak failed (see above)" >&2
fi
