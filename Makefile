# The two commands of the README. Both set a fresh Debian 12 machine up first.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test clean

all: build

deps:
	@tools/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@tools/run-vorniq $(BUILD_DIR)

test: build
	@tools/headless-session -- ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS) $(CTEST_ARGS)

clean:
	@rm -rf $(BUILD_DIR)
