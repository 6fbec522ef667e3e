// The render loop on a stand-in plug-in whose output is its input times its first parameter, so
// that every output sample is known exactly.

#include <gtest/gtest.h>

#include "render/render_loop.h"

using namespace vrender;

namespace {

struct Source {
    std::vector<float> interleaved;
    int channels;
    std::size_t position = 0;
    std::int64_t read(float* out, std::int64_t frames) {
        const std::size_t available = interleaved.size() / static_cast<std::size_t>(channels) - position;
        const std::size_t n = std::min(available, static_cast<std::size_t>(frames));
        std::copy_n(interleaved.begin() +
                        static_cast<std::ptrdiff_t>(position * static_cast<std::size_t>(channels)),
                    n * static_cast<std::size_t>(channels), out);
        position += n;
        return static_cast<std::int64_t>(n);
    }
};

struct Rendered {
    std::vector<float> out;
    RenderResult result;
    std::vector<std::int64_t> progress;
    bool ok = false;
};

Rendered render(Source source, std::int32_t block, std::int64_t tail, float gain) {
    vhost::PluginHost host;
    Rendered run;
    if (!host.load(FAKE_EFFECT_PATH)) {
        ADD_FAILURE() << host.error();
        return run;
    }
    host.open(8000.0, block);
    host.setParameter(0, gain);
    RenderJob job;
    job.inputChannels = source.channels;
    job.blockSize = block;
    job.tailFrames = tail;
    std::string error;
    run.ok = renderFrames(
        host, job, [&source](float* d, std::int64_t n, std::string&) { return source.read(d, n); },
        [&run](const float* d, std::int64_t n, std::string&) {
            run.out.insert(run.out.end(), d, d + 2 * n);
            return true;
        },
        [&run](std::int64_t done) { run.progress.push_back(done); }, run.result, error);
    return run;
}

} // namespace

TEST(RenderLoop, MonoFeedsBothInputsAndTheTailIsSilenceAfterIt) {
    Source mono{{}, 1};
    for (int i = 0; i < 20; ++i) {
        mono.interleaved.push_back(static_cast<float>(i + 1));
    }
    const Rendered run = render(mono, 7, 10, 0.5f);
    ASSERT_TRUE(run.ok);
    ASSERT_EQ(run.out.size(), 2u * 30u);
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(run.out[2 * i], 0.5f * static_cast<float>(i + 1)) << i;
        EXPECT_EQ(run.out[2 * i + 1], 0.5f * static_cast<float>(i + 1)) << i;
    }
    for (std::size_t i = 20; i < 30; ++i) {
        EXPECT_EQ(run.out[2 * i], 0.0f);
        EXPECT_EQ(run.out[2 * i + 1], 0.0f);
    }
    EXPECT_EQ(run.result.inputFrames, 20);
    EXPECT_EQ(run.result.outputFrames, 30);
    // Blocks of 7: the last input block is topped up with tail, then the rest of the tail.
    EXPECT_EQ(run.progress, (std::vector<std::int64_t>{7, 14, 21, 28, 30}));
    EXPECT_EQ(run.result.input.peak(), 20.0);
    EXPECT_EQ(run.result.output.peak(), 10.0);
}

TEST(RenderLoop, StereoChannelsStayApartAndWholeBlocksEndCleanly) {
    Source stereo{{}, 2};
    for (int i = 0; i < 16; ++i) {
        stereo.interleaved.push_back(static_cast<float>(i));
        stereo.interleaved.push_back(static_cast<float>(-i));
    }
    const Rendered run = render(stereo, 8, 0, 1.0f);
    ASSERT_TRUE(run.ok);
    ASSERT_EQ(run.out.size(), 32u);
    EXPECT_EQ(run.out, stereo.interleaved);
    EXPECT_EQ(run.progress, (std::vector<std::int64_t>{8, 16}));
}

TEST(RenderLoop, AReadErrorStopsTheRender) {
    vhost::PluginHost host;
    ASSERT_TRUE(host.load(FAKE_EFFECT_PATH));
    host.open(8000.0, 4);
    RenderJob job;
    job.blockSize = 4;
    RenderResult result;
    std::string error;
    int writes = 0;
    const bool ok = renderFrames(
        host, job,
        [](float*, std::int64_t, std::string& e) {
            e = "disk on fire";
            return std::int64_t{-1};
        },
        [&writes](const float*, std::int64_t, std::string&) { return ++writes > 0; }, nullptr, result, error);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, "disk on fire");
    EXPECT_EQ(writes, 0);
}
