// Choosing the output format, and measuring levels.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>

#include "render/audio_io.h"
#include "render/render_loop.h"

using namespace vrender;

namespace {

int choose(int input, const std::string& format, const std::string& bits, const std::string& output,
           std::string& error) {
    error.clear();
    const int container = chooseOutputContainer(format, output, error);
    return container == 0 ? 0 : chooseOutputFormat(input, container, bits, 44100, error);
}

} // namespace

TEST(OutputFormat, FollowsTheInputUnlessTold) {
    std::string error;
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "", "", "out.wav", error),
              SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(choose(SF_FORMAT_AIFF | SF_FORMAT_PCM_24, "", "", "out.aif", error),
              SF_FORMAT_AIFF | SF_FORMAT_PCM_24);
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "", "24", "out.wav", error),
              SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "", "float", "out.wav", error),
              SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "aiff", "", "out", error),
              SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
}

TEST(OutputFormat, TheExtensionNamesTheContainerAndTheSampleTypeAdapts) {
    std::string error;
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "", "", "dir.v2/out.FLAC", error),
              SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    // FLAC holds no floats, WAV no Vorbis: the usual type of the new container instead.
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_FLOAT, "", "", "out.flac", error),
              SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(choose(SF_FORMAT_OGG | SF_FORMAT_VORBIS, "", "", "out.wav", error),
              SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "", "", "out.ogg", error),
              SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    // A dot in a folder name is no extension.
    EXPECT_EQ(choose(SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "flac", "", "dir.wav/out", error),
              SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
}

TEST(OutputFormat, RefusesWhatCannotBeWritten) {
    std::string error;
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "mp4", "", "out.wav", error), 0);
    EXPECT_NE(error.find("mp4"), std::string::npos);
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "", "12", "out.wav", error), 0);
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "flac", "float", "out.flac", error), 0);
    EXPECT_NE(error.find("FLAC"), std::string::npos) << error;
    EXPECT_EQ(choose(SF_FORMAT_WAV | SF_FORMAT_PCM_16, "ogg", "16", "out.ogg", error), 0);
}

TEST(LevelMeter, MeasuresPeakAndRmsOfASine) {
    std::vector<float> sine(48000);
    for (std::size_t i = 0; i < sine.size(); ++i) {
        sine[i] = static_cast<float>(0.5 * std::sin(2.0 * M_PI * 1000.0 * static_cast<double>(i) / 48000.0));
    }
    LevelMeter meter;
    meter.add(sine.data(), sine.size());
    EXPECT_NEAR(LevelMeter::decibels(meter.peak()), -6.02, 0.01);
    EXPECT_NEAR(LevelMeter::decibels(meter.rms()), -9.03, 0.01);
    EXPECT_EQ(LevelMeter::dbfsText(meter.peak()), "-6.0 dBFS");
    EXPECT_EQ(LevelMeter::dbfsText(LevelMeter().peak()), "-inf dBFS");
}
