// The editor while the host automates on its audio thread: many hosts send
// automation and MIDI from the audio thread while the user opens and closes
// the editor on the UI thread. The audio thread changes all 56 parameters and
// sends controllers between blocks; the UI thread opens the editor, idles it
// (drawing every change) and closes it, over and over. Once through the built
// module with its X11 editor (needs DISPLAY: run under scripts/with-xvfb), once
// with the effect and its editor on the headless backend.
//
// The effect's side of this is lock-free by design: the parameter block is
// relaxed atomics, and the editor learns of changes through one atomic word
// of marks that its idle takes. Under ThreadSanitizer nothing here may report.

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "battery_support.h"
#include "host/plugin_host.h"
#include "plugin/plugin_effect_with_editor.h"
#include "support/fake_host.h"
#include "support/headless_editor.h"

// Last: Xlib's macros (None, Bool...) would clash with the C++ headers.
#include <X11/Xlib.h>

namespace {

using namespace battery;

constexpr int kBlock = 64;
constexpr int kCycles = 150;

// [audio thread] 64 parameter changes and a controller message, then a block.
void automateAndProcess(vst2::AEffect* effect, const std::atomic<bool>& stop, std::atomic<long>& blocks) {
    Random random(kSeed ^ 0xed17u);
    std::vector<float> inL(kBlock), inR(kBlock), outL(kBlock), outR(kBlock);
    float* inputs[2] = {inL.data(), inR.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    SignalSource signal;
    signal.choose(random);
    vst2::VstMidiEvent controller{};
    controller.type = vst2::kVstMidiType;
    controller.byteSize = sizeof(controller);
    vst2::VstEvents events{};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<vst2::VstEvent*>(&controller);
    while (!stop.load(std::memory_order_acquire)) {
        for (int i = 0; i < 64; ++i) {
            const int index = random.between(0, kParameterCount - 1);
            effect->setParameter(effect, index, hostileValue(random, index));
        }
        controller.midiData[0] = static_cast<char>(0xB0);
        controller.midiData[1] = static_cast<char>(random.between(0, 127));
        controller.midiData[2] = static_cast<char>(random.between(0, 127));
        effect->dispatcher(effect, vst2::effProcessEvents, 0, 0, &events, 0.0f);
        signal.fill(inL.data(), inR.data(), kBlock);
        effect->processReplacing(effect, inputs, outputs, kBlock);
        blocks.fetch_add(1, std::memory_order_relaxed);
    }
}

// [ui thread] Rectangle, open, a few idles, close: kCycles times.
void openIdleClose(vst2::AEffect* effect, void* parent, void* display) {
    for (int cycle = 0; cycle < kCycles; ++cycle) {
        vst2::ERect* rect = nullptr;
        effect->dispatcher(effect, vst2::effEditGetRect, 0, 0, &rect, 0.0f);
        ASSERT_EQ(effect->dispatcher(effect, vst2::effEditOpen, 0, reinterpret_cast<vst2::intptr>(display),
                                     parent, 0.0f),
                  1)
            << cycle;
        for (int i = 0; i < 3; ++i) {
            effect->dispatcher(effect, vst2::effEditIdle, 0, 0, nullptr, 0.0f);
        }
        effect->dispatcher(effect, vst2::effEditClose, 0, 0, nullptr, 0.0f);
    }
}

void runAgainstAutomation(vst2::AEffect* effect, void* parent, void* display) {
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio(automateAndProcess, effect, std::cref(stop), std::ref(blocks));
    openIdleClose(effect, parent, display);
    stop.store(true, std::memory_order_release);
    audio.join();
    std::printf("threads: %d editor cycles during %ld automated blocks\n", kCycles, blocks.load());
    EXPECT_GT(blocks.load(), 0);
}

TEST(EditorThreads, X11EditorOpensAndClosesWhileTheAudioThreadAutomates) {
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "the X11 editor needs DISPLAY: run under scripts/with-xvfb";
    const int screen = DefaultScreen(display);
    const Window parent = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 659, 479, 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, parent);
    XSync(display, False);
    {
        vhost::PluginHost host;
        ASSERT_TRUE(host.load(VORNHALT_MODULE_PATH)) << host.error();
        host.open(44100.0, kBlock);
        runAgainstAutomation(host.effect(), reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)),
                             display);
    }
    XDestroyWindow(display, parent);
    XCloseDisplay(display);
}

TEST(EditorThreads, HeadlessEditorOpensAndClosesWhileTheAudioThreadAutomates) {
    auto effect = std::make_unique<PluginEffectWithEditor>(&FakeHost::callback, &headlessEditor);
    static int parent;
    runAgainstAutomation(effect->getAeffect(), &parent, nullptr);
}

} // namespace
