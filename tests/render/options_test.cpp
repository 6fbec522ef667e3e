// The command line: what is accepted, in what form, and what is refused before anything runs.

#include <gtest/gtest.h>

#include "render/options.h"

using namespace vrender;

namespace {

bool parse(const std::vector<std::string>& arguments, Options& options, std::string& error) {
    options = Options{};
    error.clear();
    return parseOptions(arguments, options, error);
}

} // namespace

TEST(Options, DefaultsAndBothSpellingsOfValues) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"in.wav", "out.wav"}, o, error)) << error;
    EXPECT_EQ(o.input, "in.wav");
    EXPECT_EQ(o.output, "out.wav");
    EXPECT_EQ(o.blockSize, 512);
    EXPECT_EQ(o.bpm, 120.0);
    EXPECT_EQ(o.startBeat, 0.0);
    EXPECT_EQ(o.tailSeconds, 0.0);
    EXPECT_FALSE(o.program);
    EXPECT_TRUE(o.plugin.empty());

    ASSERT_TRUE(parse({"--block=64", "--bpm", "96.5", "--start-beat=-2", "--tail", "1.5", "--program", "3",
                       "--plugin=/x/y.so", "in.wav", "out.flac"},
                      o, error))
        << error;
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_EQ(o.bpm, 96.5);
    EXPECT_EQ(o.startBeat, -2.0);
    EXPECT_EQ(o.tailSeconds, 1.5);
    EXPECT_EQ(o.program, 3);
    EXPECT_EQ(o.plugin, "/x/y.so");
}

TEST(Options, SettingsKeepTheirOrderAndSplitAtTheFirstEquals) {
    Options o;
    std::string error;
    ASSERT_TRUE(parse({"--set", "Mix=0.2", "--set=Delay Sync=1/4", "--set", "mix=0.7", "a", "b"}, o, error));
    ASSERT_EQ(o.settings.size(), 3u);
    EXPECT_EQ(o.settings[0].name, "Mix");
    EXPECT_EQ(o.settings[0].value, "0.2");
    EXPECT_EQ(o.settings[1].name, "Delay Sync");
    EXPECT_EQ(o.settings[1].value, "1/4");
    EXPECT_EQ(o.settings[2].value, "0.7");
    EXPECT_FALSE(parse({"--set", "Mix", "a", "b"}, o, error));
    EXPECT_FALSE(parse({"--set", "=0.5", "a", "b"}, o, error));
}

TEST(Options, RefusesNumbersOutOfRange) {
    Options o;
    std::string error;
    for (const auto& bad : std::vector<std::vector<std::string>>{
             {"--block", "0"},
             {"--block", "65537"},
             {"--block", "12x"},
             {"--block", "1.5"},
             {"--tail", "-1"},
             {"--tail", "nan"},
             {"--tail", "3601"},
             {"--bpm", "0"},
             {"--bpm", "inf"},
             {"--bpm", " 120"},
             {"--start-beat", "x"},
             {"--program", "-1"},
         }) {
        std::vector<std::string> arguments = bad;
        arguments.insert(arguments.end(), {"in.wav", "out.wav"});
        EXPECT_FALSE(parse(arguments, o, error)) << bad[0] << " " << bad[1];
        EXPECT_NE(error.find(bad[0]), std::string::npos) << error;
    }
}

TEST(Options, FileNamesMustMakeSense) {
    Options o;
    std::string error;
    EXPECT_FALSE(parse({}, o, error));
    EXPECT_FALSE(parse({"in.wav"}, o, error));
    EXPECT_NE(error.find("INPUT and OUTPUT"), std::string::npos);
    EXPECT_FALSE(parse({"a", "b", "c"}, o, error));
    // Information and saving need no audio files.
    EXPECT_TRUE(parse({"--list-params"}, o, error));
    EXPECT_TRUE(parse({"--info"}, o, error));
    EXPECT_TRUE(parse({"--save-preset", "p.fxp"}, o, error));
    EXPECT_FALSE(o.renders());
    // After "--" a name may start with a dash.
    ASSERT_TRUE(parse({"--", "-in.wav", "-out.wav"}, o, error));
    EXPECT_EQ(o.input, "-in.wav");
}

TEST(Options, RefusesUnknownRepeatedAndIncompleteOptions) {
    Options o;
    std::string error;
    EXPECT_FALSE(parse({"--volume", "3", "a", "b"}, o, error));
    EXPECT_NE(error.find("--volume"), std::string::npos);
    EXPECT_FALSE(parse({"--preset", "a.fxp", "--preset", "b.fxp", "a", "b"}, o, error));
    EXPECT_NE(error.find("twice"), std::string::npos);
    EXPECT_FALSE(parse({"a", "b", "--tail"}, o, error));
    EXPECT_FALSE(parse({"--quiet=yes", "a", "b"}, o, error));
    EXPECT_FALSE(parse({"--preset=", "a", "b"}, o, error));
    // --help wins over anything missing.
    EXPECT_TRUE(parse({"--help"}, o, error));
    EXPECT_TRUE(o.help);
}

TEST(Options, HelpDocumentsEveryOptionWithAnExample) {
    const std::string help = helpText();
    for (const char* option :
         {"--plugin", "--block", "--tail",        "--bpm",       "--start-beat",  "--set",  "--program",
          "--preset", "--bank",  "--save-preset", "--save-bank", "--list-params", "--info", "--quiet",
          "--format", "--bits",  "--help",        "--version",   "--name",        "Example"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}
