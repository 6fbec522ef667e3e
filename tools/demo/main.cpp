// vornhalt-demo-input: writes the demo's input signal (see demo_signal.h) as a 24-bit stereo WAV.

#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo/demo_signal.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr,
                     "Usage: vornhalt-demo-input OUTPUT.wav [SECONDS]\n"
                     "Writes the demo input: a sawtooth chord through a moving vowel formant, with drums.\n");
        return argc == 2 ? 0 : 2;
    }
    vdemo::DemoSettings settings;
    if (argc == 3) {
        char* end = nullptr;
        settings.seconds = std::strtod(argv[2], &end);
        if (end == argv[2] || *end != '\0' || !(settings.seconds > 0.0) || settings.seconds > 600.0) {
            std::fprintf(stderr, "vornhalt-demo-input: error: SECONDS must be a number from 0 to 600\n");
            return 2;
        }
    }
    const std::vector<float> samples = vdemo::makeDemoInput(settings);

    SF_INFO info{};
    info.samplerate = settings.sampleRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_24;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "vornhalt-demo-input: error: cannot write %s: %s\n", argv[1],
                     sf_strerror(nullptr));
        return 1;
    }
    const sf_count_t frames = static_cast<sf_count_t>(samples.size() / 2);
    const sf_count_t wrote = sf_writef_float(file, samples.data(), frames);
    const int closed = sf_close(file);
    if (wrote != frames || closed != 0) {
        std::fprintf(stderr, "vornhalt-demo-input: error: cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %.1f s of demo input (stereo, %d Hz)\n", argv[1], settings.seconds, settings.sampleRate);
    return 0;
}
