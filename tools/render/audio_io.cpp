#include "render/audio_io.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstring>
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

// The text after the last dot of the file name; empty when there is none.
std::string extensionOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return path.substr(dot + 1);
}

int majorOfExtension(const std::string& extension) {
    const std::string suffix = lower(extension);
    for (const Extension& e : kExtensions) {
        if (suffix == e.suffix) {
            return e.major;
        }
    }
    return 0;
}

std::string writtenExtensions() {
    std::string text;
    for (std::size_t i = 0; i < kExtensions.size(); ++i) {
        text += i == 0 ? "" : i + 1 == kExtensions.size() ? " or " : ", ";
        text += '.';
        text += kExtensions[i].suffix;
    }
    return text;
}

int majorOfFormatName(const std::string& formatName) {
    const std::string wanted = lower(formatName);
    for (const Container& c : kContainers) {
        if (wanted == c.name || (wanted == "aif" && c.major == SF_FORMAT_AIFF)) {
            return c.major;
        }
    }
    return 0;
}

// libsndfile's own text goes after the renderer's words, for whoever needs the detail.
std::string libraryReason(const char* text) {
    return std::string(" (libsndfile: ") + (text != nullptr ? text : "no reason given") + ")";
}

// Why `path` did not open, in the renderer's words. libsndfile reports a failed open() only as
// text, so the file is looked at again here.
std::string openFailure(const std::string& path, int code) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return "no such file";
        }
        return lower(std::strerror(errno));
    }
    if (S_ISDIR(info.st_mode)) {
        return "it is a folder";
    }
    if (code == SF_ERR_SYSTEM) {
        return access(path.c_str(), R_OK) != 0 ? "no permission to read it" : "the system refused it";
    }
    if (info.st_size == 0) {
        return "the file is empty";
    }
    if (code == SF_ERR_UNRECOGNISED_FORMAT) {
        return "not an audio format libsndfile reads";
    }
    if (code == SF_ERR_UNSUPPORTED_ENCODING) {
        return "its encoding is not supported";
    }
    return "damaged, or in a form libsndfile does not read";
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
        const int code = sf_error(nullptr);
        error = "cannot open " + path + ": " + openFailure(path, code) + libraryReason(sf_strerror(nullptr));
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
        error = "cannot read " + path_ + " to its end" + libraryReason(sf_strerror(file_));
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
        error = "cannot write " + describeFormat(format) + libraryReason(sf_strerror(nullptr));
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
        error = "cannot write the output" + libraryReason(sf_strerror(file_));
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
        error = "cannot finish the output" + libraryReason(sf_error_number(result));
        return false;
    }
    return true;
}

int chooseOutputContainer(const std::string& formatName, const std::string& outputPath, std::string& error) {
    const std::string extension = extensionOf(outputPath);
    const int named = majorOfExtension(extension);
    const int major = formatName.empty() ? 0 : majorOfFormatName(formatName);
    if (!formatName.empty() && major == 0) {
        error = "unknown --format '" + formatName + "' (choose wav, aiff, flac or ogg)";
        return 0;
    }
    // A file is never written under a name that claims another format than it holds: players and
    // file managers go by the extension.
    std::string reason;
    if (!extension.empty() && named == 0) {
        reason = "." + extension + " is not a format this renderer writes";
    } else if (named == 0 && major == 0) {
        reason = "no extension names its format, and no --format does";
    } else if (named != 0 && major != 0 && named != major) {
        reason = "its extension ." + extension + " contradicts --format " + formatName;
    } else {
        return major != 0 ? major : named;
    }
    error = "cannot write " + outputPath + ": " + reason + " (OUTPUT may end in " + writtenExtensions() + ")";
    return 0;
}

int chooseOutputFormat(int inputFormat, int major, const std::string& bits, int sampleRate,
                       std::string& error) {
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
