#include "render/audio_io.h"

#include <sndfile.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace vrender {

namespace {

struct Container {
    std::string_view name;
    int major;
    std::string_view title;
};

constexpr std::array<Container, 4> kContainers = {{
    {"wav", SF_FORMAT_WAV, "WAV"},
    {"aiff", SF_FORMAT_AIFF, "AIFF"},
    {"flac", SF_FORMAT_FLAC, "FLAC"},
    {"ogg", SF_FORMAT_OGG, "Ogg"},
}};

struct Extension {
    std::string_view suffix;
    int major;
};

constexpr std::array<Extension, 6> kExtensions = {{
    {"wav", SF_FORMAT_WAV},
    {"aif", SF_FORMAT_AIFF},
    {"aiff", SF_FORMAT_AIFF},
    {"flac", SF_FORMAT_FLAC},
    {"ogg", SF_FORMAT_OGG},
    {"oga", SF_FORMAT_OGG},
}};

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

int majorFromExtension(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return 0;
    }
    const std::string suffix = lower(std::string_view(path).substr(dot + 1));
    for (const Extension& e : kExtensions) {
        if (suffix == e.suffix) {
            return e.major;
        }
    }
    return 0;
}

bool formatWritable(int format, int sampleRate) {
    SF_INFO info{};
    info.format = format;
    info.channels = 2;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

std::string subtypeText(int subtype) {
    switch (subtype) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return "8-bit PCM";
    case SF_FORMAT_PCM_16:
        return "16-bit PCM";
    case SF_FORMAT_PCM_24:
        return "24-bit PCM";
    case SF_FORMAT_PCM_32:
        return "32-bit PCM";
    case SF_FORMAT_FLOAT:
        return "32-bit float";
    case SF_FORMAT_DOUBLE:
        return "64-bit float";
    case SF_FORMAT_VORBIS:
        return "Vorbis";
    case SF_FORMAT_OPUS:
        return "Opus";
    default: {
        SF_FORMAT_INFO info{};
        info.format = subtype;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) {
            return info.name;
        }
        return "subtype " + std::to_string(subtype);
    }
    }
}

} // namespace

AudioReader::~AudioReader() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

bool AudioReader::open(const std::string& path, std::string& error) {
    path_ = path;
    SF_INFO info{};
    file_ = sf_open(path.c_str(), SFM_READ, &info);
    if (file_ == nullptr) {
        error = "cannot read " + path + ": " + sf_strerror(nullptr);
        return false;
    }
    format_.format = info.format;
    format_.sampleRate = info.samplerate;
    format_.channels = info.channels;
    format_.frames = info.frames;
    if (info.channels < 1 || info.channels > 2) {
        error = path + " has " + std::to_string(info.channels) +
                " channels; only mono and stereo files can be rendered";
        return false;
    }
    if (info.samplerate <= 0) {
        error = path + " has no valid sample rate";
        return false;
    }
    // Decoders hand over floats scaled to +-1; nothing rescales files written as float.
    sf_command(file_, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return true;
}

std::int64_t AudioReader::read(float* interleaved, std::int64_t frames, std::string& error) {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
        error = "cannot read " + path_ + ": " + sf_strerror(file_);
        return -1;
    }
    return got;
}

AudioWriter::~AudioWriter() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

bool AudioWriter::open(TempFile& file, int format, int sampleRate, int channels, std::string& error) {
    SF_INFO info{};
    info.format = format;
    info.samplerate = sampleRate;
    info.channels = channels;
    // libsndfile closes the descriptor with the file.
    file_ = sf_open_fd(file.descriptor(), SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        error = "cannot write " + describeFormat(format) + ": " + sf_strerror(nullptr);
        return false;
    }
    file.releaseDescriptor();
    // The peak chunk of float files carries the time of writing: without it, the same render
    // gives the same bytes.
    sf_command(file_, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    // Integer formats clip what lies beyond full scale instead of wrapping around.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioWriter::write(const float* interleaved, std::int64_t frames, std::string& error) {
    const sf_count_t wrote = sf_writef_float(file_, interleaved, frames);
    if (wrote != frames) {
        error = std::string("cannot write the output: ") + sf_strerror(file_);
        return false;
    }
    return true;
}

bool AudioWriter::close(std::string& error) {
    if (file_ == nullptr) {
        return true;
    }
    sf_write_sync(file_);
    const int result = sf_close(file_);
    file_ = nullptr;
    if (result != 0) {
        error = std::string("cannot finish the output: ") + sf_error_number(result);
        return false;
    }
    return true;
}

int chooseOutputFormat(int inputFormat, const std::string& formatName, const std::string& bits,
                       const std::string& outputPath, int sampleRate, std::string& error) {
    int major = 0;
    if (!formatName.empty()) {
        const std::string wanted = lower(formatName);
        for (const Container& c : kContainers) {
            if (wanted == c.name || (wanted == "aif" && c.major == SF_FORMAT_AIFF)) {
                major = c.major;
            }
        }
        if (major == 0) {
            error = "unknown --format '" + formatName + "' (choose wav, aiff, flac or ogg)";
            return 0;
        }
    } else {
        major = majorFromExtension(outputPath);
        if (major == 0) {
            major = inputFormat & SF_FORMAT_TYPEMASK;
        }
    }

    int subtype = 0;
    if (!bits.empty()) {
        if (bits == "16") {
            subtype = SF_FORMAT_PCM_16;
        } else if (bits == "24") {
            subtype = SF_FORMAT_PCM_24;
        } else if (bits == "32") {
            subtype = SF_FORMAT_PCM_32;
        } else if (lower(bits) == "float") {
            subtype = SF_FORMAT_FLOAT;
        } else {
            error = "unknown --bits '" + bits + "' (choose 16, 24, 32 or float)";
            return 0;
        }
        if (major == SF_FORMAT_OGG) {
            error = "--bits does not apply to Ogg Vorbis output, which is compressed";
            return 0;
        }
    } else {
        subtype = inputFormat & SF_FORMAT_SUBMASK;
        if (!formatWritable(major | subtype, sampleRate)) {
            subtype = major == SF_FORMAT_OGG ? SF_FORMAT_VORBIS : SF_FORMAT_PCM_24;
        }
    }

    const int format = major | subtype;
    if (!formatWritable(format, sampleRate)) {
        error =
            "libsndfile cannot write " + describeFormat(format) + " at " + std::to_string(sampleRate) + " Hz";
        return 0;
    }
    return format;
}

bool clipsAtFullScale(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
        return true;
    default:
        return false;
    }
}

std::string describeFormat(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    std::string container;
    for (const Container& c : kContainers) {
        if (c.major == major) {
            container = c.title;
        }
    }
    if (container.empty()) {
        SF_FORMAT_INFO info{};
        info.format = major;
        if (sf_command(nullptr, SFC_GET_FORMAT_INFO, &info, sizeof info) == 0 && info.name != nullptr) {
            container = info.name;
        } else {
            container = "format " + std::to_string(major);
        }
    }
    return container + ", " + subtypeText(format & SF_FORMAT_SUBMASK);
}

} // namespace vrender
