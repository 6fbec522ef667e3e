// vornhalt-render --editor-shot: the picture the renderer's helper draws from
// the plug-in's state, compared pixel for pixel with the editor opened
// in-process on the same state.

#include <cairo.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "editor_test_support.h"

namespace {

struct Picture {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint32_t> pixels;
};

// Read back with Cairo, which wrote it: opaque pixels come back exactly.
bool readPicture(const std::string& path, Picture& picture) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    const bool ok = cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS;
    if (ok) {
        picture.width = cairo_image_surface_get_width(surface);
        picture.height = cairo_image_surface_get_height(surface);
        const int stride = cairo_image_surface_get_stride(surface) / 4;
        const auto* data = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                picture.pixels.push_back(data[y * stride + x]);
            }
        }
    }
    cairo_surface_destroy(surface);
    return ok;
}

int run(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string shellQuoted(const std::string& text) {
    return "'" + text + "'";
}

class EditorShot : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vornhalt-shot-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override { std::system(("rm -rf " + shellQuoted(folder)).c_str()); }
    std::string folder;
};

} // namespace

TEST_F(EditorShot, TheRendererDrawsTheEditorInTheStateItSet) {
    const std::string shot = folder + "/editor.png";
    ASSERT_EQ(run(shellQuoted(RENDER_PROGRAM) +
                  " --set 'Filter Type=Highpass' --set 'LFO 1 Sync=1/4' --set Mix=0.8" +
                  " --set Cutoff=0.3 --bpm 90 --editor-shot " + shellQuoted(shot)),
              0);
    Picture picture;
    ASSERT_TRUE(readPicture(shot, picture));
    ASSERT_EQ(picture.width, 659);
    ASSERT_EQ(picture.height, 479);

    HeadlessRig rig;
    FakeHost::time.tempo = 90.0;
    rig.effect->engine.updateHostTime();
    rig.effect->setParameter(18, 0.1f);
    rig.effect->setParameter(26, 4.0f);
    rig.effect->setParameter(54, 0.8f);
    rig.effect->setParameter(19, 0.3f);
    ASSERT_TRUE(rig.open());
    EXPECT_EQ(HeadlessRig::shownText(rig.editor().group(27).display).find("Hz"), std::string::npos);
    int differing = 0;
    for (std::int32_t y = 0; y < 479; ++y) {
        for (std::int32_t x = 0; x < 659; ++x) {
            const std::uint32_t drawn = picture.pixels[static_cast<std::size_t>(y * 659 + x)] & 0xffffffu;
            differing += drawn != rig.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);

    // The factory state looks different where the settings show.
    const std::string plain = folder + "/plain.png";
    ASSERT_EQ(run(shellQuoted(RENDER_PROGRAM) + " --editor-shot " + shellQuoted(plain)), 0);
    Picture factory;
    ASSERT_TRUE(readPicture(plain, factory));
    int changedInFilter = 0;
    for (std::int32_t y = 100; y < 200; ++y) {
        for (std::int32_t x = 445; x < 550; ++x) {
            const auto at = static_cast<std::size_t>(y * 659 + x);
            changedInFilter += factory.pixels[at] != picture.pixels[at] ? 1 : 0;
        }
    }
    EXPECT_GT(changedInFilter, 100);
}

TEST_F(EditorShot, FailuresLeaveNoFileAndSayWhy) {
    EXPECT_EQ(run(shellQuoted(RENDER_PROGRAM) + " --editor-shot " +
                  shellQuoted(folder + "/missing/editor.png") + " 2>/dev/null"),
              1);
    EXPECT_EQ(run(shellQuoted(EDITOR_SHOT_PROGRAM) + " >/dev/null 2>&1"), 2);
    EXPECT_EQ(run(shellQuoted(EDITOR_SHOT_PROGRAM) + " --bank-chunk /dev/null " +
                  shellQuoted(folder + "/x.png") + " 2>/dev/null"),
              1);
    // A chunk of the wrong size is refused.
    std::ofstream(folder + "/short.bin") << "not a bank";
    EXPECT_EQ(run(shellQuoted(EDITOR_SHOT_PROGRAM) + " --bank-chunk " + shellQuoted(folder + "/short.bin") +
                  " " + shellQuoted(folder + "/x.png") + " 2>/dev/null"),
              1);
    EXPECT_NE(access((folder + "/x.png").c_str(), F_OK), 0);
    // The helper's own defaults draw the factory program.
    EXPECT_EQ(run(shellQuoted(EDITOR_SHOT_PROGRAM) + " " + shellQuoted(folder + "/x.png")), 0);
    Picture picture;
    EXPECT_TRUE(readPicture(folder + "/x.png", picture));
}
