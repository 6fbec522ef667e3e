# Entry points for people and CI. `make demo` and `make test` each install the
# Debian dependencies and build first, so either works on a fresh machine.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build build-asan demo test test-release test-asan bench clean format

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORNHALT_SANITIZE=ON -DVORNHALT_STRICT=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The main job: until the plug-in exists, it measures the signal components.
demo: build
	$(BUILD)/bench/dsp_bench --benchmark_min_time=0.1
	$(BUILD)/bench/plugin_bench --benchmark_min_time=0.2

# The window-system tests run against a private Xvfb display, started and stopped here.
test-release: build
	cd $(BUILD) && ../scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ../scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

test: test-release test-asan

bench: build
	$(BUILD)/bench/dsp_bench
	$(BUILD)/bench/plugin_bench

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
