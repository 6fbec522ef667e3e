// vornhalt-render end to end: the built program run on small generated files, as a user runs it.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <thread>

#include "render/preset_file.h"
#include "render_test_support.h"

using rtest::Audio;
using rtest::contains;
using rtest::RenderCli;
using rtest::RunResult;
using rtest::ScratchDir;

namespace {

constexpr std::int32_t kVrht = ('V' << 24) | ('R' << 16) | ('H' << 8) | 'T';

} // namespace

TEST_F(RenderCli, RendersTheFactoryProgramDeterministically) {
    const RunResult r = run({input, dir / "a.wav"});
    ASSERT_EQ(r.status, 0) << r.err;
    // One summary line with both levels and the speed; no progress bar off a terminal.
    EXPECT_EQ(rtest::countLines(r.out), 1);
    EXPECT_TRUE(contains(r.out, "in peak")) << r.out;
    EXPECT_TRUE(contains(r.out, "out peak")) << r.out;
    EXPECT_TRUE(contains(r.out, "dBFS")) << r.out;
    EXPECT_TRUE(contains(r.out, "real time")) << r.out;
    EXPECT_TRUE(r.err.empty()) << r.err;

    const Audio in = rtest::readAudio(input);
    const Audio out = rtest::readAudio(dir / "a.wav");
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.sampleRate, in.sampleRate);
    EXPECT_EQ(out.frames(), in.frames());
    EXPECT_EQ(out.format, in.format);
    double energy = 0.0;
    for (float v : out.samples) {
        energy += static_cast<double>(v) * v;
    }
    EXPECT_GT(energy, 1.0);

    EXPECT_EQ(render("b.wav", {}), rtest::fileBytes(dir / "a.wav"));
    // No temporary file is left beside the outputs.
    for (const std::string& name : dir.entries()) {
        EXPECT_FALSE(contains(name, ".part-")) << name;
    }
}

TEST_F(RenderCli, MonoInputFeedsBothInputs) {
    const Audio stereo = rtest::readAudio(input);
    Audio mono = stereo;
    mono.channels = 1;
    mono.samples.clear();
    for (std::size_t i = 0; i < stereo.frames(); ++i) {
        mono.samples.push_back(stereo.at(i, 0));
    }
    Audio doubled = mono;
    doubled.channels = 2;
    doubled.samples.clear();
    for (float v : mono.samples) {
        doubled.samples.insert(doubled.samples.end(), {v, v});
    }
    ASSERT_TRUE(rtest::writeAudio(dir / "mono.wav", mono));
    ASSERT_TRUE(rtest::writeAudio(dir / "doubled.wav", doubled));
    ASSERT_EQ(run({dir / "mono.wav", dir / "from-mono.wav"}).status, 0);
    ASSERT_EQ(run({dir / "doubled.wav", dir / "from-doubled.wav"}).status, 0);

    const Audio fromMono = rtest::readAudio(dir / "from-mono.wav");
    EXPECT_EQ(fromMono.channels, 2);
    EXPECT_EQ(fromMono.samples, rtest::readAudio(dir / "from-doubled.wav").samples);
}

TEST_F(RenderCli, TailAddsItsLengthOfRingingOut) {
    render("tail.wav", {"--tail", "0.5", "--set", "Delay=0.1", "--set", "Feedback=0.7", "--set", "Mix=1"});
    const Audio in = rtest::readAudio(input);
    const Audio out = rtest::readAudio(dir / "tail.wav");
    ASSERT_EQ(out.frames(), in.frames() + 11025);
    // The feedback still sounds after the input has ended.
    double tailEnergy = 0.0;
    for (std::size_t i = in.frames() + 2205; i < out.frames(); ++i) {
        tailEnergy += static_cast<double>(out.at(i, 0)) * out.at(i, 0);
    }
    EXPECT_GT(tailEnergy, 1e-6);
}

TEST_F(RenderCli, ParametersBySameNameInAnyCaseOrByIndex) {
    const auto factory = render("factory.wav", {});
    const auto byName = render("name.wav", {"--set", "Mix=0.9", "--set", "S Warp=0.4"});
    const auto byLowerName = render("lower.wav", {"--set", " mix = 0.9", "--set", "s warp=0.4"});
    const auto byIndex = render("index.wav", {"--set", "54=0.9", "--set", "13=0.4"});
    EXPECT_NE(byName, factory);
    EXPECT_EQ(byName, byLowerName);
    EXPECT_EQ(byName, byIndex);
    // A later --set of the same parameter wins.
    EXPECT_EQ(render("later.wav", {"--set", "Mix=0.1", "--set", "54=0.9", "--set", "S Warp=0.4"}), byName);
    EXPECT_TRUE(contains(listedRow({"--set", "mix=0.9"}, 54), "0.9")) << listedRow({"--set", "mix=0.9"}, 54);
}

TEST_F(RenderCli, ListParametersTakeTheirIndexOrEntryName) {
    EXPECT_EQ(render("a.wav", {"--set", "Delay=0.3", "--set", "Delay Sync=1/8 D", "--set", "Feedback=0.6"}),
              render("b.wav", {"--set", "Delay=0.3", "--set", "delay sync=13", "--set", "Feedback=0.6"}));
    const std::string row = listedRow({"--set", "Delay Sync=1/4"}, 21);
    EXPECT_TRUE(contains(row, " 4 ") && contains(row, "1/4")) << row;
    const std::string filter = listedRow({"--set", "Filter Type=bandstop"}, 18);
    EXPECT_TRUE(contains(filter, "0.3") && contains(filter, "Bandstop")) << filter;
    EXPECT_TRUE(contains(listedRow({"--set", "Filter Type=7"}, 18), "Peaking"));
    EXPECT_TRUE(contains(listedRow({"--set", "LFO 2 Shape=s & h"}, 30), "s & h"));
    // The synced delay is shown in grid steps at this run's tempo: 0.3 s is three 1/4 steps at 120 BPM.
    EXPECT_TRUE(contains(listedRow({"--set", "Delay=0.3", "--set", "Delay Sync=1/4"}, 16), "3.00"));
    EXPECT_TRUE(
        contains(listedRow({"--set", "Delay=0.3", "--set", "Delay Sync=1/4", "--bpm", "90"}, 16), "2.00"));
    EXPECT_TRUE(contains(listedRow({}, 1), "250.3 ms"));
}

TEST_F(RenderCli, BadSettingsAreRefusedAndTheOutputIsUntouched) {
    rtest::writeBytes(dir / "keep.wav", {'o', 'l', 'd'});
    const std::string out = dir / "keep.wav";
    EXPECT_TRUE(contains(failure({"--set", "Mix=1.5", input, out}), "outside 0..1"));
    EXPECT_TRUE(contains(failure({"--set", "Mix=-0.1", input, out}), "outside 0..1"));
    EXPECT_TRUE(contains(failure({"--set", "Mix=loud", input, out}), "not a number"));
    EXPECT_TRUE(contains(failure({"--set", "Wobble=0.5", input, out}), "unknown parameter"));
    EXPECT_TRUE(contains(failure({"--set", "56=0.5", input, out}), "out of range"));
    EXPECT_TRUE(contains(failure({"--set", "Delay Sync=0.5", input, out}), "list index"));
    EXPECT_TRUE(contains(failure({"--set", "Delay Sync=15", input, out}), "list index"));
    EXPECT_TRUE(contains(failure({"--set", "Filter Type=0.3", input, out}), "Lowpass"));
    EXPECT_TRUE(contains(failure({"--program", "32", input, out}), "does not exist"));
    EXPECT_EQ(rtest::fileBytes(out), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(dir.entries().size(), 2u); // in.wav and keep.wav, nothing else
}

TEST_F(RenderCli, PresetRoundTripReproducesTheRender) {
    const std::vector<std::string> settings = {"--set", "Delay=0.25",           "--set", "Feedback=0.5",
                                               "--set", "Filter Type=Bandpass", "--set", "LFO 1->S Warp=0.9"};
    std::vector<std::string> saving = settings;
    saving.insert(saving.end(), {"--save-preset", dir / "mine.fxp", "--name", "Twenty-two characters."});
    const auto original = render("original.wav", saving);
    const auto loaded = render("loaded.wav", {"--preset", dir / "mine.fxp"});
    EXPECT_EQ(loaded, original);
    EXPECT_NE(loaded, render("factory.wav", {}));

    vrender::ProgramFile file;
    std::string error;
    ASSERT_TRUE(vrender::decodeProgram(rtest::fileBytes(dir / "mine.fxp"), file, error)) << error;
    EXPECT_EQ(file.form, vrender::StateForm::Chunk);
    EXPECT_EQ(file.uniqueId, kVrht);
    EXPECT_EQ(file.chunk.size(), 456u);
    EXPECT_EQ(file.name, "Twenty-two characters.");
    // The program itself was renamed: its chunk carries the name back.
    EXPECT_TRUE(contains(run({"--preset", dir / "mine.fxp", "--info"}).out, "\"Twenty-two characters.\""));
    EXPECT_TRUE(contains(failure({"--save-preset", dir / "long.fxp", "--name", "Twenty-three characters"}, 2),
                         "at most 22 characters"));
    EXPECT_FALSE(rtest::fs::exists(dir / "long.fxp"));
}

TEST_F(RenderCli, BankRoundTripRestoresEveryProgramAndTheCurrentOne) {
    const auto original = render("original.wav", {"--program", "3", "--set", "Mix=0.8", "--set",
                                                  "Saturation=0.6", "--save-bank", dir / "mine.fxb"});
    EXPECT_EQ(render("loaded.wav", {"--bank", dir / "mine.fxb"}), original);
    // Program 0 of the bank is still the factory program.
    EXPECT_EQ(render("program0.wav", {"--bank", dir / "mine.fxb", "--program", "0"}),
              render("factory.wav", {}));

    vrender::BankFile file;
    std::string error;
    ASSERT_TRUE(vrender::decodeBank(rtest::fileBytes(dir / "mine.fxb"), file, error)) << error;
    EXPECT_EQ(file.currentProgram, 3);
    EXPECT_EQ(file.chunk.size(), 14592u);
}

TEST_F(RenderCli, FloatListPresetsAndBanksAreRead) {
    // The factory values with Mix at 0.8, in the plain-value forms another host may write.
    vrender::ProgramFile plain;
    plain.form = vrender::StateForm::Values;
    plain.uniqueId = kVrht;
    plain.pluginVersion = 1;
    plain.name = "Plain";
    plain.values.assign(56, 0.0f);
    const std::pair<int, float> factory[] = {{1, 0.5f},   {2, 0.1f},  {4, 0.8f},  {13, 0.8f}, {5, 0.98f},
                                             {15, 0.98f}, {11, 0.5f}, {19, 0.1f}, {20, 1.0f}, {27, 0.05f},
                                             {32, 0.05f}, {53, 1.0f}, {54, 0.8f}};
    for (int i = 35; i <= 52; ++i) {
        plain.values[static_cast<std::size_t>(i)] = 0.5f;
    }
    for (const auto& [index, value] : factory) {
        plain.values[static_cast<std::size_t>(index)] = value;
    }
    plain.numParams = 56;
    rtest::writeBytes(dir / "plain.fxp", vrender::encodeProgram(plain));

    vrender::BankFile bank;
    bank.form = vrender::StateForm::Values;
    bank.uniqueId = kVrht;
    bank.pluginVersion = 1;
    bank.currentProgram = 1;
    vrender::ProgramFile other = plain;
    other.values[54] = 0.3f;
    bank.programs = {other, plain};
    bank.numPrograms = 2;
    rtest::writeBytes(dir / "plain.fxb", vrender::encodeBank(bank));

    const auto expected = render("set.wav", {"--set", "Mix=0.8"});
    EXPECT_EQ(render("preset.wav", {"--preset", dir / "plain.fxp"}), expected);
    EXPECT_EQ(render("bank.wav", {"--bank", dir / "plain.fxb"}), expected);
    EXPECT_TRUE(contains(listedRow({"--preset", dir / "plain.fxp"}, 54), "0.8"));
    const RunResult info = run({"--preset", dir / "plain.fxp", "--info"});
    EXPECT_TRUE(contains(info.out, "\"Plain\"")) << info.out;
}

TEST_F(RenderCli, ForeignAndBrokenPresetsAreRefusedAndNothingIsTouched) {
    rtest::writeBytes(dir / "keep.wav", {'k', 'e', 'e', 'p'});
    const std::string out = dir / "keep.wav";
    ASSERT_EQ(run({"--save-preset", dir / "good.fxp", "--save-bank", dir / "good.fxb"}).status, 0);
    const auto good = rtest::fileBytes(dir / "good.fxp");

    vrender::ProgramFile foreign;
    std::string error;
    ASSERT_TRUE(vrender::decodeProgram(good, foreign, error));
    foreign.uniqueId = ('A' << 24) | ('B' << 16) | ('C' << 8) | 'D';
    rtest::writeBytes(dir / "foreign.fxp", vrender::encodeProgram(foreign));
    std::vector<std::uint8_t> truncated(good.begin(), good.end() - 10);
    rtest::writeBytes(dir / "truncated.fxp", truncated);
    // Consistent as a file, but the chunk is one byte short of a program record.
    vrender::ProgramFile shortChunk = foreign;
    shortChunk.uniqueId = kVrht;
    shortChunk.chunk.pop_back();
    rtest::writeBytes(dir / "short.fxp", vrender::encodeProgram(shortChunk));

    const std::vector<std::string> files = {"foreign.fxp", "truncated.fxp", "short.fxp", "good.fxb"};
    std::vector<std::vector<std::uint8_t>> before;
    for (const std::string& f : files) {
        before.push_back(rtest::fileBytes(dir / f));
    }
    EXPECT_TRUE(contains(failure({"--preset", dir / "foreign.fxp", input, out}), "another plug-in"));
    EXPECT_TRUE(contains(failure({"--preset", dir / "foreign.fxp", input, out}), "'ABCD'"));
    EXPECT_TRUE(contains(failure({"--preset", dir / "truncated.fxp", input, out}), "truncated"));
    EXPECT_TRUE(contains(failure({"--preset", dir / "short.fxp", input, out}), "refused its 455-byte"));
    EXPECT_TRUE(contains(failure({"--preset", dir / "good.fxb", input, out}), "bank file"));
    EXPECT_TRUE(contains(failure({"--bank", dir / "good.fxp", input, out}), "preset file"));
    EXPECT_TRUE(contains(failure({"--preset", dir / "missing.fxp", input, out}), "missing.fxp"));
    // Saving over a preset is refused with the rest of the run when a setting is bad.
    EXPECT_TRUE(contains(failure({"--set", "Mix=2", "--save-preset", dir / "foreign.fxp"}), "outside"));

    for (std::size_t i = 0; i < files.size(); ++i) {
        EXPECT_EQ(rtest::fileBytes(dir / files[i]), before[i]) << files[i];
    }
    EXPECT_EQ(rtest::fileBytes(out), (std::vector<std::uint8_t>{'k', 'e', 'e', 'p'}));
}

TEST_F(RenderCli, BadInputsAndPlugInsGetOneClearLine) {
    const std::string out = dir / "out.wav";
    // The renderer's words first, libsndfile's reason after them.
    EXPECT_TRUE(contains(failure({dir / "missing.wav", out}),
                         "cannot open " + dir / "missing.wav" + ": no such file (libsndfile: System error"));
    rtest::writeBytes(dir / "text.wav", {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'});
    EXPECT_TRUE(contains(failure({dir / "text.wav", out}),
                         "text.wav: not an audio format libsndfile reads (libsndfile: "));
    ASSERT_TRUE(rtest::writeAudio(dir / "surround.wav", rtest::testSignal(6, 8000, 0.05)));
    EXPECT_TRUE(contains(failure({dir / "surround.wav", out}), "6 channels"));
    // The loader's own reason comes through.
    EXPECT_TRUE(contains(failure({"--plugin", dir / "none.so", input, out}), "No such file"));
    EXPECT_TRUE(contains(failure({"--plugin", FAKE_NO_ENTRY_PATH, input, out}), "no VST entry"));
    EXPECT_TRUE(contains(failure({"--plugin", dir / "text.wav", input, out}), "cannot load"));
    EXPECT_FALSE(rtest::fs::exists(out));

    const RunResult usage = run({"--tail", "-3", input, out});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(rtest::countLines(usage.err), 1);
}

TEST_F(RenderCli, AnInterruptedRenderLeavesTheOldOutputAndNoTemporaryFile) {
    const std::string out = dir / "keep.wav";
    rtest::writeBytes(out, {'o', 'l', 'd'});
    // An hour of tail: the render is stopped long before it ends.
    std::string command = "exec ";
    command += rtest::shellQuoted(RENDER_PROGRAM);
    command += " --quiet --tail 3600 ";
    command += rtest::shellQuoted(input);
    command += ' ';
    command += rtest::shellQuoted(out);
    command += " > /dev/null 2>&1";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait until the temporary file exists and has grown, then stop the run.
    bool started = false;
    for (int i = 0; i < 600 && !started; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        for (const std::string& name : dir.entries()) {
            if (contains(name, ".part-") && rtest::fs::file_size(dir / name) > 100000) {
                started = true;
            }
        }
    }
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(started);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(rtest::fileBytes(out), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    for (const std::string& name : dir.entries()) {
        EXPECT_FALSE(contains(name, ".part-")) << name;
    }
}

TEST_F(RenderCli, HostTimeReachesThePlugIn) {
    // The echo of a synced 0.3 s delay comes after 0.375 s at 120 BPM, after 0.333 s at 90 BPM.
    const std::vector<std::string> synced = {"--set",        "Delay=0.3", "--set", "Delay Sync=1/4", "--set",
                                             "Feedback=0.7", "--set",     "Mix=1", "--tail",         "0.5"};
    auto at = [&synced](const char* bpm) {
        std::vector<std::string> o = synced;
        o.insert(o.end(), {"--bpm", bpm});
        return o;
    };
    EXPECT_NE(render("120.wav", at("120")), render("90.wav", at("90")));
    // Unsynced, the tempo changes nothing.
    EXPECT_EQ(render("free120.wav", {"--set", "Delay=0.3", "--set", "Feedback=0.7", "--tail", "0.5"}),
              render("free90.wav",
                     {"--set", "Delay=0.3", "--set", "Feedback=0.7", "--tail", "0.5", "--bpm", "90"}));
    // A tempo-locked LFO follows the song position.
    const std::vector<std::string> lfo = {"--set", "LFO 1 Sync=1/4",  "--set", "LFO 1 Freq=0.4",
                                          "--set", "LFO 1->S Warp=1", "--set", "LFO 1 Shape=square"};
    std::vector<std::string> later = lfo;
    later.insert(later.end(), {"--start-beat", "0.5"});
    EXPECT_NE(render("beat0.wav", lfo), render("beat05.wav", later));
}

TEST_F(RenderCli, OutputFormatAndBlockSize) {
    render("out.flac", {});
    const Audio flac = rtest::readAudio(dir / "out.flac");
    EXPECT_EQ(flac.format & SF_FORMAT_TYPEMASK, SF_FORMAT_FLAC);
    EXPECT_EQ(flac.channels, 2);
    render("out16.wav", {"--bits", "16"});
    EXPECT_EQ(rtest::readAudio(dir / "out16.wav").format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    render("aiff-out", {"--format", "aiff"});
    EXPECT_EQ(rtest::readAudio(dir / "aiff-out").format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
    // The block size changes only where the blocks fall, not the length.
    render("block64.wav", {"--block", "64"});
    EXPECT_EQ(rtest::readAudio(dir / "block64.wav").frames(), rtest::readAudio(input).frames());
}

TEST_F(RenderCli, AnyVst2PlugInRendersBitExactlyThroughTheFileChain) {
    // The stand-in's output is its input times "Gain"; float files carry every sample exactly.
    const auto identity = render("same.wav", {"--plugin", FAKE_EFFECT_PATH});
    EXPECT_EQ(rtest::readAudio(dir / "same.wav").samples, rtest::readAudio(input).samples);
    render("half.wav",
           {"--plugin", FAKE_EFFECT_PATH, "--set", "gain=0.5", "--save-preset", dir / "half.fxp"});
    const Audio in = rtest::readAudio(input);
    const Audio half = rtest::readAudio(dir / "half.wav");
    ASSERT_EQ(half.samples.size(), in.samples.size());
    for (std::size_t i = 0; i < in.samples.size(); ++i) {
        ASSERT_EQ(half.samples[i], in.samples[i] * 0.5f) << i;
    }
    // Without the chunk flag the preset holds plain values, and it loads back.
    vrender::ProgramFile file;
    std::string error;
    ASSERT_TRUE(vrender::decodeProgram(rtest::fileBytes(dir / "half.fxp"), file, error)) << error;
    EXPECT_EQ(file.form, vrender::StateForm::Values);
    EXPECT_EQ(file.values, (std::vector<float>{0.5f, 0.0f}));
    EXPECT_EQ(render("again.wav", {"--plugin", FAKE_EFFECT_PATH, "--preset", dir / "half.fxp"}),
              rtest::fileBytes(dir / "half.wav"));
    // Its own display texts are listed, and a Vornhalt preset is refused.
    const RunResult list = run({"--plugin", FAKE_EFFECT_PATH, "--list-params"});
    EXPECT_TRUE(contains(list.out, "Gain")) << list.out;
    EXPECT_TRUE(contains(list.out, "1.00 dB")) << list.out;
    ASSERT_EQ(run({"--save-preset", dir / "vornhalt.fxp"}).status, 0);
    EXPECT_TRUE(contains(failure({"--plugin", FAKE_EFFECT_PATH, "--preset", dir / "vornhalt.fxp", "--info"}),
                         "another plug-in"));
}

TEST_F(RenderCli, FindsItsPlugInBesideItselfNotInTheWorkingFolder) {
    // A copy of the program in a folder without vornhalt.so looks there, and says so.
    const std::string copy = dir / "vornhalt-render";
    rtest::fs::copy_file(RENDER_PROGRAM, copy);
    rtest::fs::permissions(copy, rtest::fs::perms::owner_all);
    const RunResult r = rtest::runProgram(copy, {"--info"}, dir);
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(contains(r.err, dir / "vornhalt.so")) << r.err;
    EXPECT_EQ(rtest::countLines(r.err), 1);
}

TEST_F(RenderCli, InfoAndHelp) {
    const RunResult info = run({"--info"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(contains(info.out, "'VRHT'")) << info.out;
    EXPECT_TRUE(contains(info.out, "Vornhalt")) << info.out;
    EXPECT_TRUE(contains(info.out, "parameters:     56")) << info.out;
    EXPECT_TRUE(contains(info.out, "programs:       32")) << info.out;
    const RunResult help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(contains(help.out, "Usage: vornhalt-render"));
    const RunResult version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vornhalt-render " VORNHALT_VERSION "\n");
}

TEST(DemoInput, IsDeterministicStereoAndBelowFullScale) {
    ScratchDir dir;
    ASSERT_EQ(rtest::runProgram(DEMO_INPUT_PROGRAM, {dir / "a.wav", "1.5"}, dir).status, 0);
    ASSERT_EQ(rtest::runProgram(DEMO_INPUT_PROGRAM, {dir / "b.wav", "1.5"}, dir).status, 0);
    EXPECT_EQ(rtest::fileBytes(dir / "a.wav"), rtest::fileBytes(dir / "b.wav"));
    const Audio demo = rtest::readAudio(dir / "a.wav");
    EXPECT_EQ(demo.channels, 2);
    EXPECT_EQ(demo.sampleRate, 44100);
    EXPECT_EQ(demo.frames(), 66150u);
    float peak = 0.0f;
    for (float v : demo.samples) {
        peak = std::max(peak, std::fabs(v));
    }
    EXPECT_NEAR(20.0 * std::log10(peak), -3.0, 0.01);
    EXPECT_NE(rtest::runProgram(DEMO_INPUT_PROGRAM, {dir / "c.wav", "-1"}, dir).status, 0);
}
