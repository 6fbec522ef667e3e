// The validation battery: the built module loaded through the host library and
// driven the way careless and hostile hosts drive plug-ins, with a fixed seed.
// Every output sample must be finite and within the bound of battery_support.h;
// parameters must read back as set; chunks must carry the whole state; the
// editor and other instances must leave the audio alone.
//
// VORNHALT_BATTERY_ITERATIONS overrides the length of the random run (for long
// runs by hand); the run also stops early, with a note, past its time budget.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "battery_driver.h"
#include "host/plugin_host.h"
#include "support/private_xvfb.h"

#include <fontconfig/fontconfig.h>
// Last: Xlib's macros (None, Bool, Status...) would clash with the C++ headers.
#include <X11/Xlib.h>

namespace {

// The module's editor leaves fontconfig's configuration behind; it is released
// after the last test, so that the sanitizer build's leak check sees only what
// the module itself failed to free.
class Fontconfig : public ::testing::Environment {
public:
    void TearDown() override { FcFini(); }
};
const auto* const fontconfigRelease = ::testing::AddGlobalTestEnvironment(new Fontconfig);

using namespace battery;
using Bytes = std::vector<std::uint8_t>;

constexpr int kDefaultIterations = 150000;
constexpr double kTimeBudgetSeconds = 600.0;

int iterationsFromEnvironment(int fallback) {
    const char* text = std::getenv("VORNHALT_BATTERY_ITERATIONS");
    if (text == nullptr || *text == '\0') {
        return fallback;
    }
    const long n = std::strtol(text, nullptr, 10);
    return n > 0 && n < 100000000 ? static_cast<int>(n) : fallback;
}

std::unique_ptr<vhost::PluginHost> openModule(double sampleRate = 44100.0) {
    auto host = std::make_unique<vhost::PluginHost>();
    if (!host->load(VORNHALT_MODULE_PATH)) {
        ADD_FAILURE() << "cannot load the module: " << host->error();
        return nullptr;
    }
    host->open(sampleRate, 512);
    return host;
}

// Buffers for one block of every instance a test runs.
struct Blocks {
    explicit Blocks(int instances) : out(instances, std::vector<float>(2 * kMaxBlock)) {}
    std::vector<float> inL = std::vector<float>(kMaxBlock);
    std::vector<float> inR = std::vector<float>(kMaxBlock);
    std::vector<std::vector<float>> out;
    float* left(int instance) { return out[static_cast<std::size_t>(instance)].data(); }
    float* right(int instance) { return out[static_cast<std::size_t>(instance)].data() + kMaxBlock; }
};

// A mapped window of the host's, big enough for the editor.
Window makeHostWindow(Display* display) {
    const int screen = DefaultScreen(display);
    const Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 700, 520, 0,
                                              BlackPixel(display, screen), BlackPixel(display, screen));
    XMapWindow(display, window);
    XSync(display, False);
    return window;
}

// One block of the same input through two instances given the same step: an
// editor must leave the audio exactly as that of one whose editor stays shut.
::testing::AssertionResult sameBlockThroughBoth(vhost::PluginHost& quiet, vhost::PluginHost& shown,
                                                SignalSource& signal, Blocks& blocks, const Step& step) {
    signal.fill(blocks.inL.data(), blocks.inR.data(), step.frames);
    runBlock(quiet, step, blocks.inL.data(), blocks.inR.data(), blocks.left(0), blocks.right(0));
    runBlock(shown, step, blocks.inL.data(), blocks.inR.data(), blocks.left(1), blocks.right(1));
    if (sameSamples(blocks.left(0), blocks.left(1), step.frames) &&
        sameSamples(blocks.right(0), blocks.right(1), step.frames)) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << step.describe();
}

// A chunk of the right size whose values are hostile and whose names hold no terminator.
Bytes hostileChunk(Random& random, bool isPreset) {
    const int records = isPreset ? 1 : 32;
    Bytes bytes(static_cast<std::size_t>(records) * 456);
    for (int r = 0; r < records; ++r) {
        std::uint8_t* record = bytes.data() + static_cast<std::size_t>(r) * 456;
        for (int i = 0; i < kParameterCount; ++i) {
            const float v = hostileValue(random, i);
            std::memcpy(record + 4 * i, &v, 4);
        }
        for (int i = 224; i < 456; ++i) {
            record[i] = static_cast<std::uint8_t>(random.between(1, 255));
        }
    }
    return bytes;
}

std::vector<float> allParameters(vhost::PluginHost& host) {
    std::vector<float> values(kParameterCount);
    for (int i = 0; i < kParameterCount; ++i) {
        values[static_cast<std::size_t>(i)] = host.getParameter(i);
    }
    return values;
}

std::string parameterText(vhost::PluginHost& host) {
    std::string text;
    for (int i = 0; i < kParameterCount; ++i) {
        char item[48];
        std::snprintf(item, sizeof(item), " %d=%.9g", i, static_cast<double>(host.getParameter(i)));
        text += item;
    }
    return text;
}

bool sameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof(float)) == 0;
}

// ------------------------------------------------------------------ random use

TEST(Battery, HostileUseKeepsEveryOutputSampleFiniteAndBounded) {
    auto host = openModule();
    ASSERT_TRUE(host);
    const int iterations = iterationsFromEnvironment(kDefaultIterations);
    Random random(kSeed);
    SignalSource signal;
    signal.choose(random);
    Blocks blocks(1);
    std::vector<Bytes> savedBanks{host->getChunk(false)};
    std::vector<Bytes> savedPresets{host->getChunk(true)};
    ActionLog log;
    double wetPeak = 0.0;
    long long samples = 0;
    int chunkLoads = 0, programChanges = 0, resumes = 0, rateChanges = 0;
    const auto start = std::chrono::steady_clock::now();
    int done = 0;

    for (int iteration = 0; iteration < iterations; ++iteration, done = iteration) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
            kTimeBudgetSeconds) {
            std::printf("battery: time budget reached after %d of %d iterations\n", iteration, iterations);
            break;
        }
        // The module draws the random LFO shapes from the clock: they would make the run
        // unrepeatable, so the white-box battery (which seeds them) covers them instead.
        Step step = randomStep(random, false);
        log.add(step.describe());
        // Parameters must read back as set; values that are not numbers, and
        // indices outside the table, change nothing.
        for (const auto& [index, value] : step.parameters) {
            const float before = host->getParameter(index);
            host->setParameter(index, value);
            const float after = host->getParameter(index);
            if (index < 0 || index >= kParameterCount) {
                ASSERT_EQ(after, 0.0f) << "index " << index;
            } else if (std::isfinite(value)) {
                ASSERT_TRUE(sameBits(after, value))
                    << "index " << index << " set " << value << " reads " << after;
            } else {
                ASSERT_TRUE(sameBits(after, before)) << "index " << index << " took " << value;
            }
        }
        step.parameters.clear();
        programChanges += step.changeProgram ? 1 : 0;
        resumes += step.resume ? 1 : 0;
        rateChanges += step.sampleRate > 0.0 ? 1 : 0;
        applyStep(*host, step);

        // Chunks: save, load what was saved, load hostile contents, refuse wrong sizes.
        if (random.chance(0.04)) {
            const bool preset = random.chance(0.5);
            (preset ? savedPresets : savedBanks).push_back(host->getChunk(preset));
            log.add(std::string("saved ") + (preset ? "preset" : "bank"));
        }
        if (random.chance(0.05)) {
            const bool preset = random.chance(0.5);
            const std::vector<Bytes>& saved = preset ? savedPresets : savedBanks;
            const std::vector<float> before = allParameters(*host);
            const double u = random.unit();
            if (u < 0.5) {
                const Bytes& chunk = saved[random.below(static_cast<std::uint32_t>(saved.size()))];
                ASSERT_EQ(host->setChunk(chunk, preset), 1);
                log.add(std::string("loaded a saved ") + (preset ? "preset" : "bank"));
            } else if (u < 0.85) {
                const Bytes chunk = hostileChunk(random, preset);
                ASSERT_EQ(host->setChunk(chunk, preset), 1);
                // The current record is applied: numbers are taken, the rest keeps the value in force.
                const std::size_t record = preset ? 0 : static_cast<std::size_t>(host->program()) * 456;
                for (int i = 0; i < kParameterCount; ++i) {
                    float v;
                    std::memcpy(&v, chunk.data() + record + 4 * static_cast<std::size_t>(i), 4);
                    const float expected = std::isfinite(v) ? v : before[static_cast<std::size_t>(i)];
                    ASSERT_TRUE(sameBits(host->getParameter(i), expected)) << "index " << i;
                }
                ASSERT_LE(host->programName().size(), 22u);
                log.add(std::string("loaded a hostile ") + (preset ? "preset" : "bank"));
            } else {
                const Bytes bank = host->getChunk(false);
                Bytes wrong(static_cast<std::size_t>(preset ? 456 : 14592) + (random.chance(0.5) ? 1 : 0));
                if (wrong.size() % 456 == 0) {
                    wrong.pop_back();
                }
                ASSERT_EQ(host->setChunk(wrong, preset), 0);
                ASSERT_EQ(host->getChunk(false), bank);
                log.add("refused a chunk of " + std::to_string(wrong.size()) + " bytes");
            }
            ++chunkLoads;
        }
        if (random.chance(0.01)) {
            host->setProgramName(random.chance(0.5) ? std::string(22, 'x') : std::string(40, 'y'));
            ASSERT_LE(host->programName().size(), 22u);
        }
        if (random.chance(0.05)) {
            signal.choose(random);
            log.add("signal " + signal.describe());
        }

        signal.fill(blocks.inL.data(), blocks.inR.data(), step.frames);
        // Now and then a host hands over a sample that is not a number.
        if (step.frames > 0 && random.chance(0.01)) {
            blocks.inL[random.below(static_cast<std::uint32_t>(step.frames))] =
                std::numeric_limits<float>::quiet_NaN();
        }
        runBlock(*host, step, blocks.inL.data(), blocks.inR.data(), blocks.left(0), blocks.right(0));
        std::string failure;
        ASSERT_TRUE(checkBlock(host->getParameter(kOut), host->getParameter(kMix), step, blocks.inL.data(),
                               blocks.inR.data(), blocks.left(0), blocks.right(0), wetPeak, failure))
            << "seed " << kSeed << ", iteration " << iteration << ": " << failure << "\nlast actions:\n"
            << log.text() << "parameters:" << parameterText(*host);
        samples += step.frames;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("battery: %d iterations, %lld samples per channel in %.1f s; %d program changes, %d chunk "
                "loads, %d resumes, %d sample-rate changes; largest wet magnitude seen %.4g (bound %.4g)\n",
                done, samples, seconds, programChanges, chunkLoads, resumes, rateChanges, wetPeak, kWetBound);
    RecordProperty("iterations", done);
    RecordProperty("samples", std::to_string(samples));
}

// ------------------------------------------------------------------ chunks

// A chunk saved in the middle of a stream holds everything the sound depends
// on. The instance it was saved from carries signal state (delay lines, the
// lattices' glides) that a fresh instance cannot have, so the comparison is
// between fresh instances: one given the bank, one the preset and one the 56
// values through setParameter. All three must then produce the same output,
// bit for bit, under the same further use.
TEST(Battery, ChunkSavedMidStreamRestoresIntoFreshInstancesIdentically) {
    Random random(kSeed ^ 0xc4u);
    for (int round = 0; round < 12; ++round) {
        const double rate = randomSampleRate(random);
        auto source = openModule(rate);
        ASSERT_TRUE(source);
        SignalSource signal;
        signal.choose(random);
        Blocks blocks(4);
        std::vector<Bytes> saved;
        for (int i = 0; i < 150; ++i) {
            Step step = randomStep(random, false);
            step.sampleRate = 0.0; // the rate stays: the copies are made for it
            applyStep(*source, step);
            if (random.chance(0.05)) {
                saved.push_back(source->getChunk(false));
            }
            if (!saved.empty() && random.chance(0.03)) {
                source->setChunk(saved[random.below(static_cast<std::uint32_t>(saved.size()))], false);
            }
            signal.fill(blocks.inL.data(), blocks.inR.data(), step.frames);
            runBlock(*source, step, blocks.inL.data(), blocks.inR.data(), blocks.left(0), blocks.right(0));
        }
        const Bytes bank = source->getChunk(false);
        const Bytes preset = source->getChunk(true);
        const vst2::intptr program = source->program();
        const std::vector<float> values = allParameters(*source);
        const vhost::Transport transport = source->transport();
        source.reset();

        std::vector<std::unique_ptr<vhost::PluginHost>> copies;
        for (int c = 0; c < 3; ++c) {
            copies.push_back(openModule(rate));
            ASSERT_TRUE(copies.back());
            copies.back()->transport() = transport;
            copies.back()->dispatch(vst2::effSetProgram, 0, program);
        }
        ASSERT_EQ(copies[0]->setChunk(bank, false), 1);
        ASSERT_EQ(copies[1]->setChunk(preset, true), 1);
        for (int i = 0; i < kParameterCount; ++i) {
            copies[2]->setParameter(i, values[static_cast<std::size_t>(i)]);
        }
        EXPECT_EQ(copies[0]->getChunk(false), bank) << "round " << round;
        EXPECT_EQ(copies[1]->getChunk(true), preset) << "round " << round;
        // The third copy's record has the values but keeps its own name.
        const Bytes third = copies[2]->getChunk(true);
        EXPECT_EQ(0, std::memcmp(third.data(), preset.data(), 4 * kParameterCount)) << "round " << round;
        for (auto& copy : copies) {
            ASSERT_EQ(copy->program(), program);
            for (int i = 0; i < kParameterCount; ++i) {
                ASSERT_TRUE(sameBits(copy->getParameter(i), values[static_cast<std::size_t>(i)]))
                    << "round " << round << " index " << i;
            }
        }

        for (int i = 0; i < 120; ++i) {
            Step step = randomStep(random, false);
            step.sampleRate = 0.0;
            step.changeProgram = false; // only the current program was carried over by all three
            signal.fill(blocks.inL.data(), blocks.inR.data(), step.frames);
            for (int c = 0; c < 3; ++c) {
                applyStep(*copies[static_cast<std::size_t>(c)], step);
                runBlock(*copies[static_cast<std::size_t>(c)], step, blocks.inL.data(), blocks.inR.data(),
                         blocks.left(c), blocks.right(c));
            }
            for (int c = 1; c < 3; ++c) {
                ASSERT_TRUE(sameSamples(blocks.left(0), blocks.left(c), step.frames))
                    << "round " << round << " block " << i << " copy " << c << ": " << step.describe();
                ASSERT_TRUE(sameSamples(blocks.right(0), blocks.right(c), step.frames))
                    << "round " << round << " block " << i << " copy " << c;
            }
        }
    }
}

// ------------------------------------------------------------------ instances

// Instances in one process share the module's code and globals only: what one
// does must not show in another's output. Two instances get the same script
// and must match a run of that script made alone; a third, between them, is
// driven at random, closed and replaced.
TEST(Battery, InstancesSideBySideDoNotAffectEachOther) {
    constexpr int kBlocks = 1000;
    Random scriptRandom(kSeed ^ 0x1157u);
    std::vector<Step> script;
    for (int i = 0; i < kBlocks; ++i) {
        script.push_back(randomStep(scriptRandom, false));
    }
    SignalSource signal;
    Random signalRandom(kSeed ^ 0x5197u);
    signal.choose(signalRandom);
    std::vector<std::vector<float>> inputs, alone;
    {
        auto reference = openModule();
        ASSERT_TRUE(reference);
        Blocks blocks(1);
        for (const Step& step : script) {
            if (signalRandom.chance(0.05)) {
                signal.choose(signalRandom);
            }
            signal.fill(blocks.inL.data(), blocks.inR.data(), step.frames);
            inputs.emplace_back(blocks.inL.begin(), blocks.inL.begin() + step.frames);
            inputs.back().insert(inputs.back().end(), blocks.inR.begin(), blocks.inR.begin() + step.frames);
            applyStep(*reference, step);
            runBlock(*reference, step, blocks.inL.data(), blocks.inR.data(), blocks.left(0), blocks.right(0));
            alone.emplace_back(blocks.left(0), blocks.left(0) + step.frames);
            alone.back().insert(alone.back().end(), blocks.right(0), blocks.right(0) + step.frames);
        }
    }

    auto first = openModule();
    auto other = openModule(96000.0);
    auto second = openModule();
    ASSERT_TRUE(first && other && second);
    Random otherRandom(kSeed ^ 0x07e5u);
    SignalSource otherSignal;
    otherSignal.choose(otherRandom);
    Blocks blocks(3);
    int replaced = 0;
    for (int b = 0; b < kBlocks; ++b) {
        const Step& step = script[static_cast<std::size_t>(b)];
        const std::vector<float>& in = inputs[static_cast<std::size_t>(b)];
        const float* inL = in.data();
        const float* inR = in.data() + step.frames;

        applyStep(*first, step);
        runBlock(*first, step, inL, inR, blocks.left(0), blocks.right(0));

        // The other instance: anything goes, random shapes, chunks and all.
        Step noise = randomStep(otherRandom, true);
        applyStep(*other, noise);
        if (otherRandom.chance(0.05)) {
            other->setChunk(hostileChunk(otherRandom, otherRandom.chance(0.5)), otherRandom.chance(0.5));
        }
        otherSignal.fill(blocks.inL.data(), blocks.inR.data(), noise.frames);
        runBlock(*other, noise, blocks.inL.data(), blocks.inR.data(), blocks.left(1), blocks.right(1));
        if (otherRandom.chance(0.02)) {
            other = openModule(randomSampleRate(otherRandom));
            ASSERT_TRUE(other);
            ++replaced;
        }

        applyStep(*second, step);
        runBlock(*second, step, inL, inR, blocks.left(2), blocks.right(2));

        const std::vector<float>& expected = alone[static_cast<std::size_t>(b)];
        for (int c : {0, 2}) {
            ASSERT_TRUE(sameSamples(expected.data(), blocks.left(c), step.frames))
                << "block " << b << " instance " << c << ": " << step.describe();
            ASSERT_TRUE(sameSamples(expected.data() + step.frames, blocks.right(c), step.frames))
                << "block " << b << " instance " << c;
        }
    }
    EXPECT_GT(replaced, 0);
}

// ------------------------------------------------------------------ editor

// The editor opened in a real X server between blocks, idled, closed and
// opened again in another parent window, while the audio goes on: the output
// must be exactly that of an instance whose editor stays shut. Needs DISPLAY
// (run under scripts/with-xvfb).
TEST(Battery, EditorOpenedAndClosedBetweenBlocksLeavesTheAudioAlone) {
    auto quiet = openModule();
    auto shown = openModule();
    ASSERT_TRUE(quiet && shown);
    if ((shown->effect()->flags & vst2::effFlagsHasEditor) == 0) {
        GTEST_SKIP() << "the module has no editor";
    }
    const char* displayName = std::getenv("DISPLAY");
    ASSERT_TRUE(displayName != nullptr && *displayName != '\0')
        << "needs an X server: run under scripts/with-xvfb";
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window parents[2] = {makeHostWindow(display), makeHostWindow(display)};

    Random random(kSeed ^ 0xed17u);
    SignalSource signal;
    signal.choose(random);
    Blocks blocks(2);
    int opens = 0, idles = 0;
    for (int b = 0; b < 600; ++b) {
        const Step step = randomStep(random, false);
        applyStep(*quiet, step);
        applyStep(*shown, step);
        if (random.chance(0.15)) {
            if (shown->editorOpen()) {
                shown->closeEditor();
            } else {
                vst2::ERect rect{};
                ASSERT_TRUE(shown->editorRect(rect));
                EXPECT_GT(rect.right - rect.left, 0);
                EXPECT_GT(rect.bottom - rect.top, 0);
                shown->openEditor(parents[random.below(2)], display);
                ++opens;
            }
        }
        if (shown->editorOpen()) {
            for (int i = random.between(0, 3); i > 0; --i) {
                shown->idleEditor();
                ++idles;
            }
        }
        XSync(display, False);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
        }
        ASSERT_TRUE(sameBlockThroughBoth(*quiet, *shown, signal, blocks, step)) << "block " << b;
        // Opening the editor must not move a parameter.
        for (int i = 0; i < kParameterCount; ++i) {
            ASSERT_TRUE(sameBits(quiet->getParameter(i), shown->getParameter(i))) << "block " << b;
        }
    }
    EXPECT_GT(opens, 5);
    EXPECT_GT(idles, 20);
    // Closed by the host with its editor still open.
    if (!shown->editorOpen()) {
        shown->openEditor(parents[0], display);
        shown->idleEditor();
    }
    shown.reset();
    quiet.reset();
    for (Window parent : parents) {
        XDestroyWindow(display, parent);
    }
    XCloseDisplay(display);
}

// The X server the editor is on goes away in the middle of a session (a
// remote display dropped, a nested server closed): the host keeps running,
// the audio is untouched, the editor's side closes quietly, opening it again
// there fails cleanly, and on a display that is there it opens again.
TEST(Battery, ALostDisplayLeavesTheHostAndTheAudioAlone) {
    auto quiet = openModule();
    auto shown = openModule();
    ASSERT_TRUE(quiet && shown);
    PrivateXvfb server;
    ASSERT_FALSE(server.name().empty()) << "Xvfb did not start";
    Display* lostDisplay = XOpenDisplay(server.name().c_str());
    ASSERT_NE(lostDisplay, nullptr);
    const Window parent = makeHostWindow(lostDisplay);
    ASSERT_EQ(shown->openEditor(parent, lostDisplay), 1);

    Random random(kSeed ^ 0x105du);
    SignalSource signal;
    signal.choose(random);
    Blocks blocks(2);
    int refused = 0;
    for (int b = 0; b < 400; ++b) {
        const Step step = randomStep(random, false);
        applyStep(*quiet, step);
        applyStep(*shown, step);
        if (b == 100) {
            server.kill();
        }
        for (int i = random.between(0, 3); i > 0; --i) {
            shown->idleEditor();
        }
        if (b > 100 && random.chance(0.1)) {
            shown->closeEditor();
            refused += shown->openEditor(parent, lostDisplay) == 0 ? 1 : 0;
        }
        ASSERT_TRUE(sameBlockThroughBoth(*quiet, *shown, signal, blocks, step)) << "block " << b;
    }
    EXPECT_GT(refused, 5);
    shown->closeEditor();

    // On the display that is still there, the editor opens and draws again.
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr) << "needs an X server: run under scripts/with-xvfb";
    const Window other = makeHostWindow(display);
    EXPECT_EQ(shown->openEditor(other, display), 1);
    shown->idleEditor();
    shown.reset();
    quiet.reset();
    XDestroyWindow(display, other);
    XCloseDisplay(display);
    // The test's own connection to the lost server is broken too: closed with
    // handlers that let it go quietly.
    XSetIOErrorHandler([](Display*) { return 0; });
    XSetIOErrorExitHandler(
        lostDisplay, [](Display*, void*) {}, nullptr);
    XCloseDisplay(lostDisplay);
    XSetIOErrorHandler(nullptr);
}

} // namespace
