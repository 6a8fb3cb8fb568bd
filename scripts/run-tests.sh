#!/usr/bin/env bash
# Runs the whole test suite under a private X server, where Mesa's software
# rasteriser gives the rendering tests a real OpenGL 4.5 context:
#   1. the suite of the normal build;
#   2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer;
#   3. bounded fuzzing of the atlas and font description parsers;
#   4. a 60-second soak of the real game (scripts/soak.sh; `make soak` plays
#      ten minutes).
# Any failing step fails the run.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${1:-build}"
SANITIZE_DIR="${VELMORA_SANITIZE_DIR:-build-sanitize}"
cd "$ROOT"

# Each test gets its own process; two run at a time on this machine's cores.
JOBS="${VELMORA_TEST_JOBS:-2}"
# -noreset: the server would otherwise reset whenever its last client leaves,
# and drop a client (a game starting) that connects during the reset.
SCREEN="-screen 0 1280x1024x24 -noreset"

step() { printf '\n=== %s ===\n' "$*"; }

# LD_PRELOAD splits its list at spaces and colons, and the sanitizers' option
# strings end a value at either: a checkout may sit in a folder whose path has
# both. What those variables name is therefore put in a private folder of this
# run, whose path has neither.
PRIVATE="$(mktemp -d /tmp/velmora-tests.XXXXXX)"
trap 'rm -rf "$PRIVATE"' EXIT

step "tests"
xvfb-run -a -s "$SCREEN" ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"

step "tests with AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B "$SANITIZE_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON \
    -DVELMORA_TOOLS=OFF >/dev/null
cmake --build "$SANITIZE_DIR"
# System libraries opened at run time (the GPU driver, the audio clients)
# must stay loaded until the leak check at exit; see the shim's comment.
KEEP_LOADED="$PRIVATE/keep_loaded.so"
cc -shared -fPIC -O2 -o "$KEEP_LOADED" tests/sanitizers/keep_loaded.c
cp tests/sanitizers/lsan.supp "$PRIVATE/lsan.supp"
export LD_PRELOAD="$KEEP_LOADED${LD_PRELOAD:+:$LD_PRELOAD}"
# The leak check does not follow the dynamic thread-local storage of run-time
# loaded libraries (intercept_tls_get_addr=0): this compiler's sanitizer
# runtime misreads it with the system's C library and then crashes at exit
# ("Tracer caught signal 11"). Our own code uses no such storage.
export ASAN_OPTIONS="detect_leaks=1:verify_asan_link_order=0:strict_string_checks=1:intercept_tls_get_addr=0"
export LSAN_OPTIONS="suppressions=$PRIVATE/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# The pages run in a browser and the Windows programs under Wine, not in this
# build: they ran in the first step.
xvfb-run -a -s "$SCREEN" ctest --test-dir "$SANITIZE_DIR" --output-on-failure -j "$JOBS" -E '^(web|windows)\.'
unset LD_PRELOAD ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

step "fuzzing the description parsers"
# clang, libFuzzer with AddressSanitizer and UBSan, in a build directory of its own.
bash "$ROOT/scripts/run-fuzz.sh" "${BUILD_DIR%/}-fuzz"

step "soak: the real game played for 60 s with random presses"
bash scripts/soak.sh 60 "$BUILD_DIR"
