#!/usr/bin/env bash
# Installs everything the build, the game and the tests need, and nothing twice.
#
#   scripts/bootstrap.sh          compiler, libraries, test tools
#   scripts/bootstrap.sh assets   also the tools that regenerate data/
#   scripts/bootstrap.sh bench    also what `make bench` compares the engine with
#
# Debian 12 lacks GLFW 3.4 and miniaudio, so on Debian 12 those two come from
# the Debian 13 archive of the mirror that this machine's apt sources already
# name. They are unpacked with dpkg -x into .deps/ in the checkout (ignored by
# git); the build links them from there with an rpath, so nothing outside the
# checkout changes for them. On Debian 13 or later the system packages serve.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PREFIX="$ROOT/.deps"

SYSTEM_PACKAGES=(
  g++ cmake ninja-build pkg-config make
  libglew-dev libstb-dev libgtest-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  libx11-6 libxrandr2 libxcursor1 libxi6 libxinerama1 libxkbcommon0
  xvfb xauth xdotool x11-utils x11-apps imagemagick
  clang libclang-rt-14-dev
)
ASSET_PACKAGES=(sox libsox-fmt-mp3 lame espeak-ng librsvg2-bin fonts-dejavu-core)
# LÖVE runs the other bunnymark (bench/love-bunnymark); neither the game nor
# the tests need it.
BENCH_PACKAGES=(love)
BORROWED_PACKAGES=(libglfw3 libglfw3-dev libminiaudio-dev)
BORROWED_SUITE=trixie

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      echo "$pkg"
    fi
  done
}

apt_updated=0
apt_install() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  echo "bootstrap: installing $(echo $missing | tr '\n' ' ')"
  if [ "$apt_updated" -eq 0 ]; then
    as_root apt-get update -qq
    apt_updated=1
  fi
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

debian_major() {
  . /etc/os-release
  echo "${VERSION_ID%%.*}"
}

# The first Debian archive address in the system's apt sources, in either the
# one-line or the deb822 format. Read at run time so that no address is ever
# written into the repository.
debian_mirror() {
  local files=() f
  [ -f /etc/apt/sources.list ] && files+=(/etc/apt/sources.list)
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && files+=("$f")
  done
  for f in "${files[@]}"; do
    awk '
      /^[[:space:]]*#/ { next }
      /^deb[[:space:]]/ { for (i = 2; i <= NF; i++) if ($i ~ /^[a-z+]+:\/\//) { print $i; break } }
      /^URIs:/ { for (i = 2; i <= NF; i++) print $i }
    ' "$f"
  done | grep -E '/debian/?$' | head -n 1
}

fetch_borrowed_packages() {
  local stamp="$PREFIX/.complete"
  [ -f "$stamp" ] && return 0
  local mirror
  mirror=$(debian_mirror)
  if [ -z "$mirror" ]; then
    echo "bootstrap: no Debian mirror found in the apt sources" >&2
    exit 1
  fi
  echo "bootstrap: fetching ${BORROWED_PACKAGES[*]} ($BORROWED_SUITE) into .deps/"
  local work="$PREFIX/.apt"
  rm -rf "$PREFIX"
  mkdir -p "$work/lists/partial" "$work/cache/archives/partial" "$work/debs"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror%/} $BORROWED_SUITE main" >"$work/sources.list"
  local opts=(
    -o "Dir::Etc::SourceList=$work/sources.list"
    -o "Dir::Etc::SourceParts=-"
    -o "Dir::State::Lists=$work/lists"
    -o "Dir::Cache=$work/cache"
    -o "Dir::State::Status=/var/lib/dpkg/status"
    -o "APT::Get::List-Cleanup=0"
    -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=root"
  )
  apt-get "${opts[@]}" update -qq
  (cd "$work/debs" && apt-get "${opts[@]}" download "${BORROWED_PACKAGES[@]}")
  local deb
  for deb in "$work/debs"/*.deb; do
    dpkg -x "$deb" "$PREFIX"
  done
  rm -rf "$work"
  touch "$stamp"
}

main() {
  apt_install "${SYSTEM_PACKAGES[@]}"
  case "${1:-}" in
  assets) apt_install "${ASSET_PACKAGES[@]}" ;;
  bench) apt_install "${BENCH_PACKAGES[@]}" ;;
  esac
  if [ "$(debian_major)" -ge 13 ]; then
    apt_install "${BORROWED_PACKAGES[@]}"
  else
    fetch_borrowed_packages
  fi
}

main "$@"
