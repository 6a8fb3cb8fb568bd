#!/usr/bin/env bash
# Installs what the build, the game and the tests need, and nothing twice.
#
#   scripts/bootstrap.sh          compiler and libraries: build and play
#   scripts/bootstrap.sh test     also what the test command runs on
#   scripts/bootstrap.sh package  also what builds and checks the Debian packages
#   scripts/bootstrap.sh assets   also the tools that regenerate data/
#   scripts/bootstrap.sh bench    also what `make bench` compares the engine with
#   scripts/bootstrap.sh web      also Emscripten, which `make web` builds the pages with
#   scripts/bootstrap.sh windows  also mingw-w64 and Wine, and the Windows libraries'
#                                 sources, which `make windows` builds the games with
#
# Packages are chosen by what the running release has, never by a release
# number: the clang runtime follows the clang that the release installs, and
# GLFW 3.4 and miniaudio come from the system wherever its archive has them
# (Debian 13 and later). Where it does not (Debian 12), those two come from
# the next release's archive on the mirror that this machine's apt sources
# already name. They are unpacked with dpkg -x into .deps/ in the checkout
# (ignored by git); the build links them from there with an rpath, so nothing
# outside the checkout changes for them. They are pinned to the upstream
# versions the project was tested with; any Debian revision of those (a point
# or security update) is taken, the newest the archive's signed index offers,
# and named in one line. .deps/ is made again when the release of this
# machine or a pinned version changes; its stamp records the revisions taken.
#
# Every failure ends the run with one line that says what failed and what to
# do. Two bootstraps of one checkout never run at once (`make -j` may start
# two): the second waits for the first.
set -euo pipefail
set -E

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
PREFIX="$ROOT/.deps"

SYSTEM_PACKAGES=(
  g++ cmake ninja-build pkg-config make
  libglew-dev libstb-dev libgtest-dev libgl-dev libgl1-mesa-dri libglx-mesa0
  fonts-dejavu-core
  libx11-6 libxrandr2 libxcursor1 libxi6 libxinerama1 libxkbcommon0
)
# What only the test command needs, kept apart so that building and playing
# never install a compositor or a sound server:
# - the private X server and the tools that drive and photograph it;
# - clang for the fuzz targets (its runtime package is added once clang's
#   version is known);
# - for the Wayland tests, a compositor with a headless back-end, its
#   screenshot tool and the libraries GLFW loads at run time for a Wayland
#   window, with the decoration plugin that desktops have (anything using
#   SDL2 brings it), so that the tests take the path players take; the
#   install test's check of the menu entry;
# - what the package test builds the game's .deb with (file and
#   dpkg-shlibdeps, which compute its dependencies);
# - an OCR engine with its English data, which reads drawn text back, and
#   a TrueType font with CJK glyphs (Droid Sans Fallback) for the text tests.
TEST_PACKAGES=(
  xvfb xauth xdotool x11-utils x11-apps x11-xserver-utils imagemagick
  clang
  sway grim libwayland-client0 libwayland-cursor0 libwayland-egl1 libegl1 libegl-mesa0
  libdecor-0-plugin-1-cairo
  desktop-file-utils
  dpkg-dev file
  tesseract-ocr tesseract-ocr-eng fonts-droid-fallback
)
# `make package`: the same two, and lintian, which checks the packages.
PACKAGE_PACKAGES=(dpkg-dev file lintian)
# Installed only where that removes nothing: on a desktop whose sound goes
# through PipeWire (pipewire-pulse, pipewire-alsa) the pulseaudio package
# would replace the user's sound server. The tests that need it then say so
# and are skipped.
TEST_SERVER_PACKAGES=(pulseaudio)
ASSET_PACKAGES=(sox libsox-fmt-mp3 lame espeak-ng librsvg2-bin fonts-dejavu-core)
# LÖVE and SFML run the other bunnymarks (bench/love-bunnymark,
# bench/sfml_bunnymark.cpp); neither the game nor the tests need them.
BENCH_PACKAGES=(love libsfml-dev)
# `make web`: Emscripten (its own clang, its libraries and node's modules
# come with it). The desktop commands never install it.
WEB_PACKAGES=(emscripten)
# The web tests, part of the test command: Emscripten builds the pages, a
# headless Chromium shows them, driven through WebDriver from Python, and
# tesseract reads the game's overlay in its screenshots.
WEBTEST_PACKAGES=(emscripten chromium chromium-driver python3-selenium tesseract-ocr)
# `make windows`: the mingw-w64 cross-compilers (the -posix ones: the -win32
# ones have no std::thread), Wine to run and test the programs, zip to pack
# them. The desktop commands never install them.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 zip)
# The libraries the Windows programs link, as sources from the next release's
# archive (glfw3, glew) and miniaudio's header from its package, at the
# upstream versions tested; unpacked into .deps-windows/ (ignored by git),
# where scripts/windows.sh builds them once. stb comes from the system's
# libstb-dev (its headers are copied: the system's include folder is never
# on a mingw command line).
WINDOWS_SOURCES=(glfw3=3.4 glew=2.2.0)
WINDOWS_BINARIES=(libminiaudio-dev=0.11.22)
WINDOWS_STB_HEADERS=(stb_image.h stb_image_write.h stb_rect_pack.h stb_truetype.h stb_vorbis.h)
WINDOWS_PREFIX="$ROOT/.deps-windows"

# The borrowed packages, at the upstream versions the project was tested
# with; the Debian revision is whichever the archive has. Change a version
# only after `make test` passed with it.
BORROWED_PACKAGES=(libglfw3=3.4 libglfw3-dev=3.4 libminiaudio-dev=0.11.22)
BORROWED_SUITE=trixie
# What the machine's own archive must have for nothing to be borrowed.
BORROWED_NAMES=("${BORROWED_PACKAGES[@]%%=*}")

say() { echo "bootstrap: $*"; }
die() {
  echo "bootstrap: $*" >&2
  exit 1
}

# The last resort for a command that fails without its own message. In a
# subshell (a command substitution) it stays quiet: its caller reports.
on_error() {
  local status=$1 line=$2 command=$3
  if [ "$BASHPID" = "$$" ]; then
    echo "bootstrap: '$command' failed with status $status (scripts/bootstrap.sh line $line); run 'bash -x scripts/bootstrap.sh ${BOOTSTRAP_SET:-}' to see every step" >&2
  fi
  exit "$status"
}
trap 'on_error $? $LINENO "$BASH_COMMAND"' ERR

as_root() {
  if [ "$(id -u)" -eq 0 ]; then
    "$@"
  elif command -v sudo >/dev/null; then
    sudo "$@"
  else
    die "installing packages needs root: run this as root, or install sudo"
  fi
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
apt_options=()
apt_install() {
  local missing
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  say "installing $(echo $missing)"
  apt_update_once
  # The lock time-out: another apt on this machine finishes first.
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    -o DPkg::Lock::Timeout=600 $missing >/dev/null ||
    die "apt-get could not install $(echo $missing) (its message is above); repair apt (apt-get -f install, apt-get update) and run again"
}

# Installs the packages unless apt would have to remove another package for
# them; then it says why it leaves them out.
apt_install_unless_it_removes() {
  local missing plan removals
  missing=$(missing_packages "$@")
  [ -z "$missing" ] && return 0
  apt_update_once
  # shellcheck disable=SC2086
  if ! plan=$(apt-get install -s --no-install-recommends $missing 2>&1); then
    say "not installing $(echo $missing): apt cannot plan it ($(printf '%s\n' "$plan" | grep -E '^E: ' | tail -n 1)); the tests that need it are skipped"
    return 0
  fi
  removals=$(printf '%s\n' "$plan" | awk '/^Remv / { print $2 }')
  if [ -n "$removals" ]; then
    say "not installing $(echo $missing) because it would remove $(echo $removals) (the tests that need it are skipped)"
    return 0
  fi
  apt_install "$@"
}

apt_update_once() {
  if [ "$apt_updated" -eq 0 ]; then
    as_root apt-get update -qq ||
      die "apt-get update failed (its message is above); check the network and the apt sources, then run again"
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
  if [ -z "$(missing_packages "${BORROWED_NAMES[@]}")" ] &&
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
  [ -n "$major" ] || die "cannot tell the version of the installed clang from 'clang --version'; reinstall clang and run again"
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
  done | { grep -E '/debian/?$' || true; } | head -n 1
}

# What .deps/ was made for: this machine's release and the pinned versions.
# The stamp's first line; its second names the Debian revisions taken.
deps_stamp() {
  local release
  release=$(. /etc/os-release && echo "${ID:-unknown} ${VERSION_ID:-} ${VERSION_CODENAME:-}")
  echo "release: $release; upstream versions: ${BORROWED_PACKAGES[*]}"
}

# The Debian versions of a package that the borrowed suite's index offers.
offered_versions() {
  apt-cache "${apt_options[@]}" madison "$1" | awk '{ print $3 }'
}

# True when Debian version $1 packages upstream version $2: epoch and
# revision aside, the same version, or that version repacked (+dfsg, +ds).
# A pre-release (3.4~rc1) or a later snapshot (3.4+git...) is another version.
is_upstream_version() {
  local upstream=${1#*:}
  upstream=${upstream%-*}
  case "$upstream" in
    "$2" | "$2"+dfsg | "$2"+dfsg[0-9]* | "$2"+ds | "$2"+ds[0-9]*) return 0 ;;
    *) return 1 ;;
  esac
}

# Chooses for each borrowed package (or, with "source" first, each source
# package) the newest revision of its pinned upstream version that the index
# offers, into BORROWED_TAKEN (name=version), and says in one line what it
# took and where to.
choose_borrowed_revisions() {
  local kind=binary into=.deps/
  if [ "${1:-}" = source ]; then
    kind=source
    shift
  fi
  [ "$#" -gt 0 ] || set -- "${BORROWED_PACKAGES[@]}"
  [ -n "${BORROWED_INTO:-}" ] && into=$BORROWED_INTO
  local pin name upstream offered version best taken=()
  BORROWED_TAKEN=()
  for pin in "$@"; do
    name=${pin%%=*} upstream=${pin#*=} best=""
    if [ "$kind" = source ]; then
      offered=$(apt-cache "${apt_options[@]}" showsrc "$name" 2>/dev/null | awk '/^Version:/ { print $2 }' | tr '\n' ' ')
    else
      offered=$(offered_versions "$name" | tr '\n' ' ')
    fi
    for version in $offered; do
      if is_upstream_version "$version" "$upstream" &&
         { [ -z "$best" ] || dpkg --compare-versions "$version" gt "$best"; }; then
        best=$version
      fi
    done
    [ -n "$best" ] ||
      die "$name $upstream, the tested upstream version, is not in $BORROWED_SUITE's archive, which offers $(echo ${offered:-nothing}); test with that version and change BORROWED_PACKAGES in scripts/bootstrap.sh"
    BORROWED_TAKEN+=("$name=$best")
    taken+=("$name $best")
  done
  say "taking $(printf '%s, ' "${taken[@]}" | sed 's/, $//') from $BORROWED_SUITE into $into"
}

# An apt configuration of its own in $1/apt for $BORROWED_SUITE's signed
# index (packages and sources), read into apt_options; the machine's apt
# sources, lists and cache are left alone. $2 names what the index is for.
private_apt() {
  local work=$1 what=$2 mirror
  mirror=$(debian_mirror)
  [ -n "$mirror" ] ||
    die "no Debian archive (an address ending in /debian) in /etc/apt/sources.list or sources.list.d/, so $what cannot be borrowed from $BORROWED_SUITE; add one, then run again"
  mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial"
  {
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror%/} $BORROWED_SUITE main"
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] ${mirror%/} $BORROWED_SUITE main"
  } >"$work/apt/sources.list"
  apt_options=(
    -o "Dir::Etc::SourceList=$work/apt/sources.list"
    -o "Dir::Etc::SourceParts=-"
    -o "Dir::State::Lists=$work/apt/lists"
    -o "Dir::Cache=$work/apt/cache"
    -o "Dir::State::Status=/var/lib/dpkg/status"
    -o "APT::Get::List-Cleanup=0"
    -o "Debug::NoLocking=1"
    -o "APT::Sandbox::User=root"
  )
  # apt checks the index's signature here, and each package's checksum
  # against the index when it downloads it.
  apt-get "${apt_options[@]}" update -qq ||
    die "could not read the signed $BORROWED_SUITE index from $mirror (apt's message is above); check the network and run again"
}

fetch_borrowed_packages() {
  local work="$ROOT/.deps.new"
  rm -rf "$work"
  mkdir -p "$work/debs"
  private_apt "$work" "GLFW 3.4 and miniaudio (or install libglfw3-dev >= 3.4 and libminiaudio-dev)"
  choose_borrowed_revisions
  (cd "$work/debs" && apt-get "${apt_options[@]}" -qq download "${BORROWED_TAKEN[@]}") ||
    die "apt-get download of ${BORROWED_TAKEN[*]} failed (its message is above); check the network and run again"
  local deb
  for deb in "$work/debs"/*.deb; do
    # The control files too: the package build reads what GLFW depends on.
    { dpkg -x "$deb" "$work/prefix" && dpkg-deb -e "$deb" "$work/prefix/DEBIAN-$(dpkg-deb -f "$deb" Package)"; } ||
      die "could not unpack $(basename "$deb") (dpkg's message is above)"
  done
  { deps_stamp; echo "taken: ${BORROWED_TAKEN[*]}"; } >"$work/prefix/.stamp"
  rm -rf "$PREFIX"
  mv "$work/prefix" "$PREFIX"
  rm -rf "$work"
}

# GLFW 3.4 and miniaudio: from the system where its archive has them,
# otherwise borrowed into .deps/.
provide_glfw34_and_miniaudio() {
  if [ -f "$PREFIX/.stamp" ] && [ "$(head -n 1 "$PREFIX/.stamp")" = "$(deps_stamp)" ]; then
    return 0
  fi
  if system_has_glfw34_and_miniaudio; then
    apt_install "${BORROWED_NAMES[@]}"
    if [ -d "$PREFIX" ]; then
      say "removing .deps/: this system's own GLFW 3.4 and miniaudio are used now"
      rm -rf "$PREFIX"
    fi
    return 0
  fi
  if [ -d "$PREFIX" ]; then
    say ".deps/ was made for another release or other versions: making it again"
  fi
  fetch_borrowed_packages
}

# What .deps-windows/ was fetched for: the pinned versions and the stb headers
# of this system.
windows_stamp() {
  echo "sources: ${WINDOWS_SOURCES[*]} ${WINDOWS_BINARIES[*]}; stb $(dpkg-query -W -f='${Version}' libstb-dev): ${WINDOWS_STB_HEADERS[*]}"
}

# The Windows libraries' sources into .deps-windows/src (GLFW, GLEW), the
# headers into .deps-windows/include (miniaudio, stb) and their licences into
# .deps-windows/licences; the build of the libraries (scripts/windows.sh)
# starts again whenever this runs anew.
provide_windows_sources() {
  if [ -f "$WINDOWS_PREFIX/.stamp" ] && [ "$(cat "$WINDOWS_PREFIX/.stamp")" = "$(windows_stamp)" ]; then
    return 0
  fi
  local work="$ROOT/.deps-windows.new"
  rm -rf "$work"
  mkdir -p "$work/fetched" "$work/prefix/src" "$work/prefix/include/stb" "$work/prefix/licences"
  private_apt "$work" "the Windows libraries' sources"
  local BORROWED_INTO=.deps-windows/
  choose_borrowed_revisions source "${WINDOWS_SOURCES[@]}"
  local sources=("${BORROWED_TAKEN[@]}")
  choose_borrowed_revisions "${WINDOWS_BINARIES[@]}"
  local binaries=("${BORROWED_TAKEN[@]}")
  (cd "$work/fetched" && apt-get "${apt_options[@]}" -qq source --download-only "${sources[@]}" &&
    apt-get "${apt_options[@]}" -qq download "${binaries[@]}") >/dev/null ||
    die "apt-get could not fetch ${sources[*]} ${binaries[*]} (its message is above); check the network and run again"
  # The upstream tarballs alone: Debian's patches are for Debian's builds.
  local pin name tarball
  for pin in "${sources[@]}"; do
    name=${pin%%=*}
    tarball=$(find "$work/fetched" -maxdepth 1 -name "${name}_*.orig.tar.*" | head -n 1)
    [ -n "$tarball" ] || die "the $name source package has no .orig tarball in $work/fetched"
    mkdir -p "$work/prefix/src/$name"
    tar -xf "$tarball" -C "$work/prefix/src/$name" --strip-components=1 ||
      die "could not unpack $(basename "$tarball")"
  done
  local deb header
  for deb in "$work/fetched"/*.deb; do
    dpkg -x "$deb" "$work/unpacked" || die "could not unpack $(basename "$deb") (dpkg's message is above)"
  done
  header=$(find "$work/unpacked/usr/include" -name miniaudio.h | head -n 1)
  [ -n "$header" ] && cp "$header" "$work/prefix/include/" ||
    die "libminiaudio-dev has no miniaudio.h under usr/include"
  for header in "${WINDOWS_STB_HEADERS[@]}"; do
    cp "/usr/include/stb/$header" "$work/prefix/include/stb/" ||
      die "libstb-dev has no /usr/include/stb/$header; reinstall libstb-dev"
  done
  # What the programs link, with the notices it comes with.
  cp "$work/prefix/src/glfw3/LICENSE.md" "$work/prefix/licences/GLFW.txt"
  cp "$work/prefix/src/glew/LICENSE.txt" "$work/prefix/licences/GLEW.txt"
  cp "$work/unpacked/usr/share/doc/libminiaudio-dev/copyright" "$work/prefix/licences/miniaudio.txt"
  cp /usr/share/doc/libstb-dev/copyright "$work/prefix/licences/stb.txt"
  cp /usr/share/doc/fonts-dejavu-core/copyright "$work/prefix/licences/DejaVu.txt"
  cp /usr/share/doc/mingw-w64-x86-64-dev/copyright "$work/prefix/licences/mingw-w64.txt"
  windows_stamp >"$work/prefix/.stamp"
  rm -rf "$WINDOWS_PREFIX"
  mv "$work/prefix" "$WINDOWS_PREFIX"
  rm -rf "$work"
}

main() {
  # One bootstrap of this checkout at a time: the lock is on this script.
  exec 9<"${BASH_SOURCE[0]}"
  if ! flock -n 9; then
    say "waiting for another bootstrap of this checkout to finish"
    flock 9
  fi
  apt_install "${SYSTEM_PACKAGES[@]}"
  case "${1:-}" in
    test)
      apt_install "${TEST_PACKAGES[@]}" "${WEBTEST_PACKAGES[@]}"
      apt_install_unless_it_removes "${TEST_SERVER_PACKAGES[@]}"
      install_clang_runtime
      # The Windows tests build the programs and run them under Wine.
      apt_install "${WINDOWS_PACKAGES[@]}"
      provide_windows_sources
      ;;
    package) apt_install "${PACKAGE_PACKAGES[@]}" ;;
    assets) apt_install "${ASSET_PACKAGES[@]}" ;;
    bench) apt_install "${BENCH_PACKAGES[@]}" ;;
    web) apt_install "${WEB_PACKAGES[@]}" ;;
    windows)
      apt_install "${WINDOWS_PACKAGES[@]}"
      provide_windows_sources
      ;;
    "") ;;
    *)
      echo "bootstrap: unknown set '$1' (use test, package, assets, bench, web or windows)" >&2
      exit 2
      ;;
  esac
  provide_glfw34_and_miniaudio
}

# Sourced (by the tests of the version choice), it only defines.
if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  BOOTSTRAP_SET="${1:-}"
  main "$@"
fi
