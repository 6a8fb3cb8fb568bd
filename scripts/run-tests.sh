#!/usr/bin/env bash
# Runs the whole test suite under a private X server, where Mesa's software
# rasteriser gives the rendering tests a real OpenGL 4.5 context.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${1:-build}"
cd "$ROOT"

# Each test gets its own process; two run at a time on this machine's cores.
JOBS="${VELMORA_TEST_JOBS:-2}"

xvfb-run -a -s "-screen 0 1280x1024x24" \
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$JOBS"

# The text parsers are also fuzzed for a bounded time (clang, libFuzzer with
# AddressSanitizer and UBSan), in a build directory of their own.
bash "$ROOT/scripts/run-fuzz.sh" "${BUILD_DIR%/}-fuzz"
