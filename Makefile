# Entry points for people and CI. `make demo` and `make test` each install the
# Debian dependencies and build first, so either works on a fresh machine.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz

.PHONY: all deps build build-asan build-tsan build-fuzz demo install uninstall test test-release test-asan \
	test-tsan battery battery-asan fuzz bench clean format format-check windows test-windows

all: build

deps:
	./scripts/install-deps

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps
	cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DVORNHALT_SANITIZE=ON -DVORNHALT_STRICT=ON
	cmake --build $(ASAN_BUILD) -j $(JOBS)

# The main job: a test signal made in code (a sawtooth chord through a moving vowel formant, with
# drums) rendered through the plug-in in three settings; the results and the settings as presets
# land in $(OUT).
OUT ?= out
RENDER = $(BUILD)/vornhalt-render
DEMO_INPUT = $(OUT)/demo-input.wav
# The feedback delay synced to a dotted eighth, its low-pass filter swept by LFO 2 over two bars.
DEMO_DELAY_SWEEP = --set "Delay=0.3" --set "Delay Sync=1/8 D" --set "Feedback=0.7" \
	--set "Filter Type=Lowpass" --set "Cutoff=0.55" --set "Resonance=0.35" \
	--set "LFO 2 Freq=0.112" --set "LFO 2 Sync=1/1" --set "LFO 2->Fb Cutoff=0.75" --set "Mix=0.7"
# LFO 1 (triangle, a beat long) on the analysis warp, LFO 2 (rising saw, a bar long) on the
# synthesis warp, both inverted on the right channel.
DEMO_WARP_LFOS = --set "S Warp=0.7" --set "LFO 1 Shape=tri" --set "LFO 1 Sync=1/4" --set "LFO 1 Freq=0.35" \
	--set "LFO 1 Stereo=on" --set "LFO 1->A Warp=1" --set "LFO 2 Shape=saw up" --set "LFO 2 Sync=1/1" \
	--set "LFO 2 Freq=0.16" --set "LFO 2 Stereo=on" --set "LFO 2->S Warp=0" --set "Mix=0.8" --set "Out=0.9"

demo: build
	@mkdir -p $(OUT)
	@$(BUILD)/vornhalt-demo-input $(DEMO_INPUT)
	@$(RENDER) --program 0 --save-preset $(OUT)/factory.fxp $(DEMO_INPUT) $(OUT)/demo-factory.wav
	@$(RENDER) $(DEMO_DELAY_SWEEP) --tail 4 --save-preset $(OUT)/delay-sweep.fxp \
		$(DEMO_INPUT) $(OUT)/demo-delay-sweep.wav
	@$(RENDER) $(DEMO_WARP_LFOS) --save-preset $(OUT)/warp-lfos.fxp $(DEMO_INPUT) $(OUT)/demo-warp-lfos.wav
	@echo
	@echo "Listen in $(OUT)/: demo-input.wav (the generated input), demo-factory.wav (factory program),"
	@echo "demo-delay-sweep.wav (synced feedback delay, swept filter), demo-warp-lfos.wav (LFOs on the warps)."
	@echo "Their settings are presets there too: $(RENDER) --preset $(OUT)/delay-sweep.fxp IN.wav OUT.wav"

# The window-system tests run against a private Xvfb display, started and stopped here. The
# validation battery (label `battery`) is long: `make battery` runs it.
test-release: build
	cd $(BUILD) && ../scripts/with-xvfb ctest --output-on-failure -j $(JOBS) -LE battery

test-asan: build-asan
	cd $(ASAN_BUILD) && ../scripts/with-xvfb ctest --output-on-failure -j $(JOBS) -LE battery

test: test-release test-asan

# The validation battery: seeded hostile use of the built module (and of the effect with its
# headless editor), every output sample checked. The AddressSanitizer run is shorter.
BATTERY_ASAN_ITERATIONS ?= 20000
battery: build
	cd $(BUILD) && ../scripts/with-xvfb ctest --output-on-failure -L battery

battery-asan: build-asan
	cd $(ASAN_BUILD) && VORNHALT_BATTERY_ITERATIONS=$(BATTERY_ASAN_ITERATIONS) \
		../scripts/with-xvfb ctest --output-on-failure -L battery

# The thread tests under ThreadSanitizer: the module, the effect with its editor, and the tests.
build-tsan: deps
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNHALT_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target thread_tests

test-tsan: build-tsan
	cd $(TSAN_BUILD) && ../scripts/with-xvfb ctest --output-on-failure -L threads

# libFuzzer targets (clang), each run for FUZZ_SECONDS; see README for longer runs.
FUZZ_SECONDS ?= 60
build-fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORNHALT_FUZZ=ON
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzzers

fuzz: build-fuzz
	./scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

# Windows: vornhalt.dll for i686 (what 32-bit hosts load) and x86-64, cross-built with mingw-w64
# beside a native build (whose editor images the DLLs embed and whose module renders the reference
# their output is compared with). The drawing libraries are cross-built once per machine and
# cached (scripts/build-windows-deps). The DLLs land in $(WINDOWS_DIST)/<arch>/, stripped.
WINDOWS_BUILD ?= build-windows
WINDOWS_DIST ?= dist/windows
WINDOWS_ARCHES = i686 x86_64

windows: build
	./scripts/install-deps windows
	./scripts/build-windows-deps all >/dev/null
	@set -e; for arch in $(WINDOWS_ARCHES); do \
		cmake -S . -B $(WINDOWS_BUILD)/$$arch -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-$$arch.cmake \
			-DCMAKE_BUILD_TYPE=Release -DVORNHALT_NATIVE_BUILD=$(abspath $(BUILD)); \
		cmake --build $(WINDOWS_BUILD)/$$arch -j $(JOBS); \
		install -d $(WINDOWS_DIST)/$$arch; \
		$$arch-w64-mingw32-strip -o $(WINDOWS_DIST)/$$arch/vornhalt.dll $(WINDOWS_BUILD)/$$arch/vornhalt.dll; \
		cmake -DOBJDUMP=$$arch-w64-mingw32-objdump -DDLL=$(WINDOWS_DIST)/$$arch/vornhalt.dll \
			-P tests/windows/check_dll.cmake; \
	done

# The Windows builds' tests under Wine, all under one private display, with LMMS (a 32-bit Windows
# host) rendering through the i686 DLL. The Wine prefix is made in $(WINDOWS_BUILD)/wine.
test-windows:
	./scripts/install-deps windows lmms
	$(MAKE) windows
	WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wine ./scripts/with-xvfb ./scripts/windows-tests \
		$(addprefix $(WINDOWS_BUILD)/,$(WINDOWS_ARCHES))

bench: build
	$(BUILD)/bench/dsp_bench
	$(BUILD)/bench/plugin_bench
	$(BUILD)/bench/thread_latency_bench

# Where Linux hosts look for VST 2 plug-ins: ~/.vst for one user; for everyone,
# `sudo make install VST_DIR=/usr/lib/vst`.
VST_DIR ?= $(HOME)/.vst

# Builds the module alone and installs no packages (`make build` does): what is installed needs
# nothing else built. A build folder not yet configured gets the plug-in and the tools only.
install:
	@test -f $(BUILD)/CMakeCache.txt || \
		cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVORNHALT_TESTS=OFF
	cmake --build $(BUILD) -j $(JOBS) --target vornhalt
	install -d $(DESTDIR)$(VST_DIR)
	install -m 0644 $(BUILD)/vornhalt.so $(DESTDIR)$(VST_DIR)/vornhalt.so
	@echo "Installed $(DESTDIR)$(VST_DIR)/vornhalt.so; let your host rescan its VST plug-ins."

uninstall:
	rm -f $(DESTDIR)$(VST_DIR)/vornhalt.so

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

# Every tracked source as .clang-format has it (CI runs this).
format-check: deps
	clang-format --dry-run -Werror $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) $(WINDOWS_DIST)
