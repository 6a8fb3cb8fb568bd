#!/usr/bin/env bash
# Installs what the build, the game and the tests need, and nothing twice.
#
#   scripts/bootstrap.sh          compiler and libraries: build and play
#   scripts/bootstrap.sh test     also what the test command runs on
#   scripts/bootstrap.sh assets   also the tools that regenerate data/
#   scripts/bootstrap.sh bench    also what `make bench` compares the engine with
#
# Packages are chosen by what the running release has, never by a release
# number: the clang runtime follows the clang that the release installs, and
# GLFW 3.4 and miniaudio come from the system wherever its archive has them
# (Debian 13 and later). Where it does not (Debian 12), those two come from
# the next release's archive on the mirror that this machine's apt sources
# already name. They are unpacked with dpkg -x into .deps/ in the checkout
# (ignored by git); the build links them from there with an rpath, so nothing
# outside the checkout changes for them.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PREFIX="$ROOT/.deps"

SYSTEM_PACKAGES=(
  g++ cmake ninja-build pkg-config make
  libglew-dev libstb-dev libgtest-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  libx11-6 libxrandr2 libxcursor1 libxi6 libxinerama1 libxkbcommon0
)
# What only the test command needs, kept apart so that building and playing
# never install a compositor or a sound server:
# - the private X server and the tools that drive and photograph it;
# - clang for the fuzz targets (its runtime package is added once clang's
#   version is known);
# - for the Wayland tests, a compositor with a headless back-end, its
#   screenshot tool and the libraries GLFW loads at run time for a Wayland
#   window; the install test's check of the menu entry.
TEST_PACKAGES=(
  xvfb xauth xdotool x11-utils x11-apps imagemagick
  clang
  sway grim libwayland-client0 libwayland-cursor0 libwayland-egl1 libegl1 libegl-mesa0
  desktop-file-utils
)
# Installed only where that removes nothing: on a desktop whose sound goes
# through PipeWire (pipewire-pulse, pipewire-alsa) the pulseaudio package
# would replace the user's sound server. The tests that need it then say so
# and are skipped.
TEST_SERVER_PACKAGES=(pulseaudio)
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
  apt_update_once
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# Installs the packages unless apt would have to remove another package for
# them; then it says why it leaves them out.
apt_install_unless_it_removes() {
  local missing removals
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  apt_update_once
  # shellcheck disable=SC2086
  removals=$(apt-get install -s --no-install-recommends $missing 2>/dev/null | awk '/^Remv / { print $2 }' | tr '\n' ' ')
  if [ -n "$removals" ]; then
    echo "bootstrap: not installing $(echo $missing | tr '\n' ' ')because it would remove ${removals}(the tests that need it are skipped)"
    return 0
  fi
  apt_install "$@"
}

apt_update_once() {
  if [ "$apt_updated" -eq 0 ]; then
    as_root apt-get update -qq
    apt_updated=1
  fi
}

# The version apt would install of a package from the system's own archive,
# or nothing when the archive lacks it.
candidate_version() {
  apt-cache policy "$1" 2>/dev/null | awk '/Candidate:/ { if ($2 != "(none)") print $2 }'
}

# True when the system's archive (or what is already installed) has GLFW 3.4
# or later and miniaudio, so nothing needs borrowing.
system_has_glfw34_and_miniaudio() {
  if [ -z "$(missing_packages "${BORROWED_PACKAGES[@]}")" ] &&
     dpkg --compare-versions "$(dpkg-query -W -f='${Version}' libglfw3-dev)" ge 3.4; then
    return 0
  fi
  apt_update_once
  local glfw
  glfw=$(candidate_version libglfw3-dev)
  [ -n "$glfw" ] && dpkg --compare-versions "$glfw" ge 3.4 && [ -n "$(candidate_version libminiaudio-dev)" ]
}

# The clang runtime (sanitizers and libFuzzer) is packaged per clang version:
# install the one that matches the clang this release gives.
install_clang_runtime() {
  local major
  major=$(clang --version | sed -n 's/.*clang version \([0-9][0-9]*\).*/\1/p' | head -n 1)
  if [ -z "$major" ]; then
    echo "bootstrap: cannot tell the version of the installed clang" >&2
    exit 1
  fi
  apt_install "libclang-rt-$major-dev"
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
    test)
      apt_install "${TEST_PACKAGES[@]}"
      apt_install_unless_it_removes "${TEST_SERVER_PACKAGES[@]}"
      install_clang_runtime
      ;;
    assets) apt_install "${ASSET_PACKAGES[@]}" ;;
    bench) apt_install "${BENCH_PACKAGES[@]}" ;;
    "") ;;
    *)
      echo "bootstrap: unknown set '$1' (use test, assets or bench)" >&2
      exit 2
      ;;
  esac
  if [ -f "$PREFIX/.complete" ]; then
    return 0
  fi
  if system_has_glfw34_and_miniaudio; then
    apt_install "${BORROWED_PACKAGES[@]}"
  else
    fetch_borrowed_packages
  fi
}

main "$@"
