#!/usr/bin/env bash
# Builds the games for Windows (`make windows`): mingw-w64 cross-builds into
# $1 (build-windows by default) each game's folder with its .exe, data/ and
# licences/, and a .zip of it beside: velmora/, breakout/, bounce/, glow/,
# catcher/.
#
# The libraries the programs link, GLFW and GLEW, are built here from the
# sources that `scripts/bootstrap.sh windows` fetched into .deps-windows/,
# once: later builds (and the tests) reuse them, until the sources or the
# compiler change.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-build-windows}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
DEPS="$ROOT/.deps-windows"
TOOLCHAIN="$ROOT/cmake/windows/toolchain.cmake"
CC=x86_64-w64-mingw32-gcc-posix
AR=x86_64-w64-mingw32-ar

die() {
  echo "windows: $*" >&2
  exit 1
}
command -v "$CC" >/dev/null || die "$CC not found; run scripts/bootstrap.sh windows first"
[ -f "$DEPS/.stamp" ] || die "$DEPS has no library sources; run scripts/bootstrap.sh windows first"

# What the libraries in .deps-windows/lib were built from and with.
stamp="$(cat "$DEPS/.stamp"); compiler: $("$CC" -dumpfullversion)"
if [ ! -f "$DEPS/lib/.stamp" ] || [ "$(cat "$DEPS/lib/.stamp")" != "$stamp" ]; then
  echo "windows: building GLFW and GLEW into .deps-windows/ (once)"
  rm -rf "$DEPS/build" "$DEPS/lib" "$DEPS/include/GL" "$DEPS/include/GLFW"
  mkdir -p "$DEPS/build" "$DEPS/lib" "$DEPS/include/GL" "$DEPS/include/GLFW"
  log="$DEPS/build/build.log"
  {
    cmake -S "$DEPS/src/glfw3" -B "$DEPS/build/glfw" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
      -DCMAKE_BUILD_TYPE=Release -DGLFW_BUILD_EXAMPLES=OFF -DGLFW_BUILD_TESTS=OFF \
      -DGLFW_BUILD_DOCS=OFF -DGLFW_INSTALL=OFF &&
      cmake --build "$DEPS/build/glfw" -j2
  } >"$log" 2>&1 || die "GLFW's build failed; see $log"
  cp "$DEPS/build/glfw/src/libglfw3.a" "$DEPS/lib/"
  cp "$DEPS/src/glfw3/include/GLFW/glfw3.h" "$DEPS/src/glfw3/include/GLFW/glfw3native.h" "$DEPS/include/GLFW/"
  # GLEW's source package already holds the generated src/glew.c.
  cp "$DEPS/src/glew/include/GL/glew.h" "$DEPS/src/glew/include/GL/wglew.h" "$DEPS/include/GL/"
  { "$CC" -O2 -DGLEW_STATIC -DGLEW_NO_GLU -I"$DEPS/include" -c "$DEPS/src/glew/src/glew.c" \
      -o "$DEPS/build/glew.o" && "$AR" rcs "$DEPS/lib/libglew32.a" "$DEPS/build/glew.o"; } >>"$log" 2>&1 ||
    die "GLEW's build failed; see $log"
  echo "$stamp" >"$DEPS/lib/.stamp"
fi

cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
  -DVELMORA_TESTS=OFF -DVELMORA_TOOLS=OFF ${VELMORA_WINDOWS_CMAKE_FLAGS:-} >/dev/null
cmake --build "$BUILD" -j2
