// The editor as Windows shows it against the Linux drawing of the same state.
// Shapes, images and the filter curve come from the same Cairo code and must
// match to the pixel; text comes from each system's own fonts, so the boxes
// that hold text are compared only for having text at all.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "checks.h"
#include "editor_layout.h"
#include "editor_session.h"

namespace {

// The editor's text is yellow on blue, wherever it is.
constexpr std::uint32_t kText = 0xE4BD1F;
constexpr std::uint32_t kBox = 0x167096;

struct ShotState {
    int index;
    float value;
};

// Something of every kind of control: menus, buttons, knobs, and a filter
// type whose curve has a shape of its own.
constexpr ShotState kChangedState[] = {
    {18, 0.6f}, {19, 0.35f}, {20, 0.8f}, {29, 1.0f}, {22, 1.0f}, {25, 2.0f},
    {21, 3.0f}, {4, 0.1f},   {54, 0.9f}, {17, 0.6f}, {2, 0.3f},  {45, 0.8f},
};

bool writeFile(const std::string& path, const void* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary);
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return static_cast<bool>(out);
}

bool saveState(HostUi& ui, EditorSession& session, const std::string& prefix) {
    const Image picture = captureEditor(ui, session);
    void* chunk = nullptr;
    vst2::intptr size = 0;
    int program = 0;
    ui.call([&] {
        size = session.hosted().dispatch(vst2::effGetChunk, 0, 0, &chunk);
        program = static_cast<int>(session.hosted().dispatch(vst2::effGetProgram));
    });
    const std::string number = std::to_string(program);
    return savePng(picture, prefix + "-windows.png") && chunk != nullptr && size > 0 &&
           writeFile(prefix + ".chunk", chunk, static_cast<std::size_t>(size)) &&
           writeFile(prefix + ".program", number.data(), number.size());
}

// How much of a pixel is text: 0 on the box's blue, 1 on the text's yellow.
double textShare(std::uint32_t pixel) {
    const double red = static_cast<double>((pixel >> 16) & 0xFF);
    return (red - static_cast<double>(kBox >> 16)) / static_cast<double>((kText >> 16) - (kBox >> 16));
}

int textPixels(const Image& image, const RECT& box) {
    int count = 0;
    for (long y = box.top; y < box.bottom; ++y) {
        for (long x = box.left; x < box.right; ++x) {
            count += textShare(image.at(static_cast<int>(x), static_cast<int>(y))) > 0.5 ? 1 : 0;
        }
    }
    return count;
}

bool inside(const std::vector<RECT>& boxes, int x, int y) {
    return std::any_of(boxes.begin(), boxes.end(), [x, y](const RECT& r) {
        return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
    });
}

int channelDifference(std::uint32_t a, std::uint32_t b) {
    int largest = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const int d = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        largest = std::max(largest, d < 0 ? -d : d);
    }
    return largest;
}

} // namespace

void writeEditorShots(HostUi& ui, const PluginModule& module, const std::string& directory, Report& report) {
    EditorSession session(ui, module);
    if (!report.check(session.hasEffect() && session.open(0, 0), "the effect opens its editor")) {
        return;
    }
    Sleep(400);
    report.check(saveState(ui, session, directory + "/factory"),
                 "the factory state is saved with its picture");
    for (const ShotState& state : kChangedState) {
        session.hosted().set(state.index, state.value);
    }
    Sleep(400);
    report.check(saveState(ui, session, directory + "/changed"), "a changed state is saved with its picture");
}

void compareWithLinux(const std::string& windowsPng, const std::string& linuxPng,
                      const std::string& differences, Report& report) {
    Image windows;
    Image linux;
    if (!report.check(loadPng(windowsPng, windows) && loadPng(linuxPng, linux) &&
                          windows.width == linux.width && windows.height == linux.height,
                      "both pictures are there, of one size")) {
        return;
    }
    const std::vector<RECT> boxes = layout::textBoxes();
    Image map = linux;
    int outside = 0, inText = 0, largest = 0, textArea = 0;
    for (int y = 0; y < linux.height; ++y) {
        for (int x = 0; x < linux.width; ++x) {
            const std::uint32_t a = windows.at(x, y);
            const std::uint32_t b = linux.at(x, y);
            const bool text = inside(boxes, x, y);
            textArea += text ? 1 : 0;
            std::uint32_t& shown = map.pixels[static_cast<std::size_t>(y * linux.width + x)];
            shown = (shown >> 2) & 0x3F3F3F; // the Linux picture, dimmed, where they agree
            if (a != b) {
                (text ? inText : outside) += 1;
                largest = text ? largest : std::max(largest, channelDifference(a, b));
                shown = text ? 0xFFFF00 : 0xFF0000;
            }
        }
    }
    savePng(map, differences);
    const int compared = linux.width * linux.height - textArea;
    report.check(outside == 0,
                 format("outside the %zu text boxes every pixel matches Linux (%d of %d differ, "
                        "largest channel difference %d)",
                        boxes.size(), outside, compared, largest));
    report.note(format("inside the text boxes %d of %d pixels differ", inText, textArea));
    int textless = 0;
    for (const RECT& box : boxes) {
        const int here = textPixels(windows, box);
        const int there = textPixels(linux, box);
        if ((here == 0) != (there == 0) || here > 2 * there + 4 || there > 2 * here + 4) {
            ++textless;
            report.note(
                format("box (%ld,%ld): %d text pixels here, %d on Linux", box.left, box.top, here, there));
        }
    }
    report.check(textless == 0, "each box shows about as much text as on Linux");
}
