#pragma once

// The effect as the fuzz targets drive it: the final class with its editor on
// the headless backend (so the editor opcodes run without a display), behind
// its own record, with a host whose time record the input may change. What
// the targets check after processing: every output sample finite and within
// the validation battery's bound.

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include "battery_support.h"
#include "editor/editor_bridge.h"
#include "gui/cairo/cairo_surface.h"
#include "gui/headless/headless_platform.h"
#include "plugin/plugin_effect_with_editor.h"
#include "support/fake_host.h"
#include "support/headless_editor.h"

namespace fuzzing {

// At exit the font cache and the static data of Cairo and fontconfig are
// released, so that the leak checker sees only what the effect failed to free.
inline void releaseGraphicsLibraries() {
    releaseCachedFonts();
    cairo_debug_reset_static_data();
    FcFini();
}

// A fresh effect; the caller closes it through its record (effClose deletes it).
inline vst2::AEffect* createEffect() {
    // Registered after the font cache exists, so that it runs before the cache's destructor.
    static const bool registered = [] {
        releaseCachedFonts();
        return std::atexit(releaseGraphicsLibraries) == 0;
    }();
    (void)registered;
    FakeHost::reset();
    auto* effect = new PluginEffectWithEditor(&FakeHost::callback, &headlessEditor);
    // The random LFO shapes would otherwise be drawn from the clock: a crash must replay.
    effect->engine.lfo1.fixedSeed = 1;
    effect->engine.lfo2.fixedSeed = 2;
    return effect->getAeffect();
}

inline void closeEffect(vst2::AEffect* record) {
    record->dispatcher(record, vst2::effClose, 0, 0, nullptr, 0.0f);
}

// A fault the sanitizers cannot see: reported, then the process stops so the
// fuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, double value) {
    std::fprintf(stderr, "fuzz check failed: %s (%g)\n", what, value);
    std::abort();
}

// Processes `frames` (at most 256) of the given full-scale input and checks the output.
inline void processAndCheck(vst2::AEffect* record, const float* left, const float* right, int frames,
                            bool replacing) {
    constexpr int kMaxFrames = 256;
    if (frames > kMaxFrames) {
        frames = kMaxFrames;
    }
    float inL[kMaxFrames], inR[kMaxFrames], outL[kMaxFrames] = {}, outR[kMaxFrames] = {};
    for (int i = 0; i < frames; ++i) {
        inL[i] = left[i];
        inR[i] = right[i];
    }
    float* inputs[2] = {inL, inR};
    float* outputs[2] = {outL, outR};
    (replacing ? record->processReplacing : record->process)(record, inputs, outputs, frames);
    const float out = record->getParameter(record, battery::kOut);
    const float mix = record->getParameter(record, battery::kMix);
    for (int i = 0; i < frames; ++i) {
        const float* ins[2] = {left, right};
        const float* outs[2] = {outL, outR};
        for (int c = 0; c < 2; ++c) {
            const float y = outs[c][i];
            if (!std::isfinite(y)) {
                fail("output sample not finite", y);
            }
            if (std::fabs(y) > battery::outputBound(out, mix, ins[c][i])) {
                fail("output sample beyond the bound", y);
            }
        }
    }
}

} // namespace fuzzing
