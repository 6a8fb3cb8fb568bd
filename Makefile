# Velmora Demoengine — the two set-up commands are `make run` and `make test`.
# Both install what they need first (scripts/bootstrap.sh), then build.

BUILD_DIR ?= build
ARGS ?=
CMAKE_FLAGS ?=

.PHONY: all bootstrap test-tools configure build engine game run test package soak bench assets web windows clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

# What the tests, the soak and the benchmarks run on besides the build.
test-tools:
	@bash scripts/bootstrap.sh test

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

# Everything: the game, the tests, the tools and the benchmarks.
build: configure
	@cmake --build $(BUILD_DIR)

# The engine library alone, for games of one's own: install it with
# `cmake --install build --component engine --prefix DIR` (docs/engine.md).
engine: configure
	@cmake --build $(BUILD_DIR) --target velmora_engine

# The game and what it links, nothing more.
game: configure
	@cmake --build $(BUILD_DIR) --target velmora

# Starts the game full screen; `make run ARGS=windowed` opens a 1024×768 window.
run: game
	@$(BUILD_DIR)/velmora $(ARGS)

# Builds everything and runs every test under a private X server. The test
# tools (X server, clang's fuzzing runtime, …) are installed only here, so
# `make run` never pulls them in. The web pages are built by the tests too
# (into build-web/, as `make web` does): the web tests open them in a
# headless Chromium.
test: test-tools build
	@bash scripts/run-tests.sh $(BUILD_DIR)

# Debian packages in $(BUILD_DIR)/: velmora (the game), velmora-engine-dev
# (the engine's headers, library, CMake and pkg-config files) and, where GLFW
# 3.4 is borrowed (Debian 12), velmora-glfw, checked by lintian.
package: configure
	@bash scripts/bootstrap.sh package
	@cmake --build $(BUILD_DIR) --target velmora velmora_engine
	@rm -f $(BUILD_DIR)/velmora*.deb
	@cd $(BUILD_DIR) && cpack
	@lintian --fail-on error $(BUILD_DIR)/velmora*.deb

# Plays the game headless with random presses and checks GL errors, attempts
# and memory growth; `make soak SECONDS=60` for a short run.
SECONDS ?= 600
soak: test-tools build
	@bash scripts/soak.sh $(SECONDS) $(BUILD_DIR)

# Frame rate, start-up time, sprite throughput against LÖVE and SFML and memory,
# measured under Xvfb; writes the table in docs/BENCHMARKS.md.
bench: test-tools build
	@bash scripts/bootstrap.sh bench
	@# SFML's bunnymark is built only once the bench set has installed SFML.
	@cmake -S . -B $(BUILD_DIR) >/dev/null
	@cmake --build $(BUILD_DIR)
	@bash bench/run.sh $(BUILD_DIR)

# Regenerates everything under data/ from the sources in tools/.
assets:
	@bash scripts/bootstrap.sh assets
	@bash tools/make_assets.sh

# The games as web pages (Emscripten, installed here only): each in a folder
# of its own under $(WEB_BUILD_DIR)/ (velmora/, ...) with its index.html.
# Serve one with `python3 -m http.server --bind 127.0.0.1 -d build-web/velmora`.
WEB_BUILD_DIR ?= build-web
web:
	@bash scripts/bootstrap.sh web
	@bash scripts/web.sh $(WEB_BUILD_DIR)

# The games for Windows (mingw-w64, installed here only): each in a folder of
# its own under $(WINDOWS_BUILD_DIR)/ (velmora/, ...) with its .exe, data/ and
# licences, and a .zip of it beside. Try one with Wine:
# `wine build-windows/breakout/breakout.exe`.
WINDOWS_BUILD_DIR ?= build-windows
windows:
	@bash scripts/bootstrap.sh windows
	@bash scripts/windows.sh $(WINDOWS_BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
