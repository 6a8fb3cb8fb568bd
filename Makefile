# Velmora Demoengine — the two set-up commands are `make run` and `make test`.
# Both install what they need first (scripts/bootstrap.sh), then build.

BUILD_DIR ?= build
ARGS ?=
CMAKE_FLAGS ?=
TEST_SCREEN := -screen 0 1280x1024x24

.PHONY: all bootstrap test-tools build run test soak bench assets clean

all: build

bootstrap:
	@bash scripts/bootstrap.sh

# What the tests, the soak and the benchmarks run on besides the build.
test-tools:
	@bash scripts/bootstrap.sh test

build: bootstrap
	@cmake -S . -B $(BUILD_DIR) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD_DIR)

# Starts the game full screen; `make run ARGS=windowed` opens a 1024×768 window.
run: build
	@$(BUILD_DIR)/velmora $(ARGS)

# Builds everything and runs every test under a private X server. The test
# tools (X server, clang's fuzzing runtime, …) are installed only here, so
# `make run` never pulls them in.
test: test-tools build
	@bash scripts/run-tests.sh $(BUILD_DIR)

# Plays the game headless with random presses and checks GL errors, attempts
# and memory growth; `make soak SECONDS=60` for a short run.
SECONDS ?= 600
soak: test-tools build
	@bash scripts/soak.sh $(SECONDS) $(BUILD_DIR)

# Frame rate, start-up time, sprite throughput against LÖVE and memory,
# measured under Xvfb; writes the table in docs/BENCHMARKS.md.
bench: test-tools build
	@bash scripts/bootstrap.sh bench
	@bash bench/run.sh $(BUILD_DIR)

# Regenerates everything under data/ from the sources in tools/.
assets:
	@bash scripts/bootstrap.sh assets
	@bash tools/make_assets.sh

clean:
	rm -rf $(BUILD_DIR)
