#pragma once

// What the renderer's tests share: scratch folders, small audio files written and read with
// libsndfile, and running the built vornhalt-render as a user would.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rtest {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it when the test ends.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "vornhalt-render-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    std::string operator/(const std::string& name) const { return (fs::path(path_) / name).string(); }
    const std::string& path() const { return path_; }
    // Everything in the folder, for checking that no temporary file was left behind.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::string path_;
};

struct Audio {
    int sampleRate = 0;
    int channels = 0;
    int format = 0;
    std::vector<float> samples; // interleaved
    std::size_t frames() const {
        return channels == 0 ? 0 : samples.size() / static_cast<std::size_t>(channels);
    }
    float at(std::size_t frame, int channel) const {
        return samples[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(channel)];
    }
};

inline bool writeAudio(const std::string& path, const Audio& audio) {
    SF_INFO info{};
    info.samplerate = audio.sampleRate;
    info.channels = audio.channels;
    info.format = audio.format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const auto frames = static_cast<sf_count_t>(audio.frames());
    const bool ok = sf_writef_float(file, audio.samples.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

inline Audio readAudio(const std::string& path) {
    Audio audio;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        return audio;
    }
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format;
    audio.samples.resize(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, audio.samples.data(), info.frames);
    sf_close(file);
    return audio;
}

// A chord of sines with a decaying noise-like ripple: enough spectrum for the analysis to work on.
inline Audio testSignal(int channels, int sampleRate, double seconds,
                        int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT) {
    Audio audio;
    audio.sampleRate = sampleRate;
    audio.channels = channels;
    audio.format = format;
    const auto frames = static_cast<std::size_t>(seconds * sampleRate);
    std::uint32_t noise = 12345;
    for (std::size_t n = 0; n < frames; ++n) {
        const double t = static_cast<double>(n) / sampleRate;
        noise = noise * 1664525u + 1013904223u;
        const double ripple = (static_cast<double>(noise >> 8) / 8388608.0 - 1.0) * std::exp(-8.0 * t);
        for (int c = 0; c < channels; ++c) {
            const double v = 0.2 * std::sin(2 * M_PI * 220.0 * t + c) +
                             0.15 * std::sin(2 * M_PI * 331.0 * t) + 0.1 * std::sin(2 * M_PI * 1250.0 * t) +
                             0.2 * ripple;
            audio.samples.push_back(static_cast<float>(v));
        }
    }
    return audio;
}

inline std::vector<std::uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readText(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

struct RunResult {
    int status = -1; // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `program` with `arguments`, stdout and stderr caught in files of `scratch`.
inline RunResult runProgram(const std::string& program, const std::vector<std::string>& arguments,
                            const ScratchDir& scratch) {
    std::string command = shellQuoted(program);
    for (const std::string& a : arguments) {
        command += ' ';
        command += shellQuoted(a);
    }
    const std::string outPath = scratch / "stdout.txt";
    const std::string errPath = scratch / "stderr.txt";
    command += " > ";
    command += shellQuoted(outPath);
    command += " 2> ";
    command += shellQuoted(errPath);
    command += " < /dev/null";
    const int raw = std::system(command.c_str());
    RunResult result;
    if (WIFEXITED(raw)) {
        result.status = WEXITSTATUS(raw);
    } else if (WIFSIGNALED(raw)) {
        result.status = 128 + WTERMSIG(raw);
    }
    result.out = readText(outPath);
    result.err = readText(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
}

inline int countLines(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// The built vornhalt-render run end to end on a small stereo INPUT in a scratch folder.
class RenderCli : public ::testing::Test {
protected:
    void SetUp() override {
        input = dir / "in.wav";
        ASSERT_TRUE(rtest::writeAudio(input, rtest::testSignal(2, 22050, 0.3)));
    }

    RunResult run(std::vector<std::string> arguments) {
        return rtest::runProgram(RENDER_PROGRAM, arguments, dir);
    }

    // Renders INPUT to `name` with `options`; fails the test unless it worked.
    std::vector<std::uint8_t> render(const std::string& name, std::vector<std::string> options) {
        options.push_back(input);
        options.push_back(dir / name);
        const RunResult r = run(options);
        EXPECT_EQ(r.status, 0) << r.err;
        return rtest::fileBytes(dir / name);
    }

    // A failed run: non-zero status (`status` if given) and exactly one line on stderr, which is
    // returned.
    std::string failure(std::vector<std::string> arguments, int status = -1) {
        const RunResult r = run(arguments);
        EXPECT_NE(r.status, 0);
        if (status >= 0) {
            EXPECT_EQ(r.status, status) << r.err;
        }
        EXPECT_EQ(rtest::countLines(r.err), 1) << r.err;
        return r.err;
    }

    // The row of --list-params for `index`.
    std::string listedRow(std::vector<std::string> options, int index) {
        options.push_back("--list-params");
        const RunResult r = run(options);
        EXPECT_EQ(r.status, 0) << r.err;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "\n%5d  ", index);
        const std::size_t at = r.out.find(prefix);
        if (at == std::string::npos) {
            return {};
        }
        return r.out.substr(at + 1, r.out.find('\n', at + 1) - at - 1);
    }

    ScratchDir dir;
    std::string input;
};

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

} // namespace rtest
