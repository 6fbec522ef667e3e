# Entry points for people and CI. `make demo` and `make test` each install the
# Debian dependencies and build first, so either works on a fresh machine.
JOBS ?= $(shell nproc)
BUILD ?= build
ASAN_BUILD ?= build-asan

.PHONY: all deps build build-asan demo install uninstall test test-release test-asan bench clean format

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

# The window-system tests run against a private Xvfb display, started and stopped here.
test-release: build
	cd $(BUILD) && ../scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ../scripts/with-xvfb ctest --output-on-failure -j $(JOBS)

test: test-release test-asan

bench: build
	$(BUILD)/bench/dsp_bench
	$(BUILD)/bench/plugin_bench

# Where Linux hosts look for VST 2 plug-ins: ~/.vst for one user; for everyone,
# `sudo make install VST_DIR=/usr/lib/vst`.
VST_DIR ?= $(HOME)/.vst

install: build
	install -d $(DESTDIR)$(VST_DIR)
	install -m 0644 $(BUILD)/vornhalt.so $(DESTDIR)$(VST_DIR)/vornhalt.so
	@echo "Installed $(DESTDIR)$(VST_DIR)/vornhalt.so; let your host rescan its VST plug-ins."

uninstall:
	rm -f $(DESTDIR)$(VST_DIR)/vornhalt.so

format:
	clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
