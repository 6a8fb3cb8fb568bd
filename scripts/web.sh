#!/usr/bin/env bash
# Builds the web pages (`make web`): emcmake into $1 (build-web by default),
# each page in a folder of its own there (index.html and what it loads).
#
# Emscripten's first build compiles its system libraries (minutes); they go
# into the build folder's emcache/, so nothing outside the checkout is
# written and later builds reuse them. Debian's emcc finds its node modules
# (acorn) only in /usr/share/nodejs when another node comes first on the
# PATH, hence NODE_PATH.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${1:-build-web}"
case "$BUILD" in /*) ;; *) BUILD="$ROOT/$BUILD" ;; esac
mkdir -p "$BUILD/emcache"
export EM_CACHE="$BUILD/emcache"
export EM_FROZEN_CACHE=""
export NODE_PATH="/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}"
command -v emcmake >/dev/null || {
  echo "web: emcmake not found; run scripts/bootstrap.sh web first" >&2
  exit 1
}
emcmake cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DVELMORA_TESTS=OFF -DVELMORA_TOOLS=OFF >/dev/null
cmake --build "$BUILD" -j2
