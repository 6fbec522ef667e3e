// vornhalt-render end to end, on what it reads and writes besides the audio it renders: which
// names OUTPUT may have, and which preset and bank files are refused before they are read.

#include <gtest/gtest.h>

#include "render_test_support.h"

using rtest::Audio;
using rtest::contains;
using rtest::RenderCli;
using rtest::RunResult;

TEST_F(RenderCli, OutputsNamedForAFormatNotWrittenAreRefused) {
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{input, dir / "out.mp3"},
                                               {input, dir / "out.xyz"},
                                               {input, dir / "out"},
                                               {"--format", "wav", input, dir / "out.flac"}}) {
        EXPECT_TRUE(contains(failure(bad, 2), ".wav, .aif, .aiff, .flac, .ogg or .oga")) << bad.back();
    }
    EXPECT_EQ(dir.entries().size(), 1u); // in.wav alone
}

TEST_F(RenderCli, AnOutputThatIsTheInputUnderAnotherNameIsRefused) {
    const std::vector<std::uint8_t> original = rtest::fileBytes(input);
    rtest::fs::create_symlink(input, dir / "link.wav");
    rtest::fs::create_hard_link(input, dir / "hard.wav");
    for (const std::string& output :
         {input, dir / "./in.wav", rtest::fs::relative(input).string(), dir / "link.wav", dir / "hard.wav"}) {
        EXPECT_TRUE(contains(failure({input, output}, 2), "same file")) << output;
        EXPECT_EQ(rtest::fileBytes(input), original) << output;
    }
    EXPECT_TRUE(rtest::fs::is_symlink(dir / "link.wav"));
    EXPECT_EQ(rtest::fs::hard_link_count(input), 2u);
}

TEST_F(RenderCli, QuietHidesTheProgressButNotTheClippingNote) {
    // The stand-in passes its input through, and this one peaks above full scale.
    Audio loud = rtest::readAudio(input);
    for (float& v : loud.samples) {
        v *= 4.0f;
    }
    ASSERT_TRUE(rtest::writeAudio(dir / "loud.wav", loud));
    const RunResult r =
        run({"--quiet", "--plugin", FAKE_EFFECT_PATH, "--bits", "16", dir / "loud.wav", dir / "out.wav"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.err, "clipped")) << r.err;
}

TEST_F(RenderCli, PresetAndBankFilesLargerThanAnyValidOneAreRefusedUnread) {
    // The largest valid file holds Vornhalt's bank chunk: 14752 bytes.
    rtest::writeBytes(dir / "big.fxb", std::vector<std::uint8_t>(14753));
    for (const char* option : {"--preset", "--bank"}) {
        EXPECT_TRUE(contains(failure({option, dir / "big.fxb", "--info"}, 1), "larger than 14752 bytes"));
        EXPECT_TRUE(contains(failure({option, "/dev/zero", "--info"}, 1), "not a regular file"));
    }
}
