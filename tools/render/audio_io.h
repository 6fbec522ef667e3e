#pragma once

// Audio files through libsndfile: reading any format it knows, and writing the rendered stereo
// signal into a temporary file (see safe_file.h) in the format chosen by chooseOutputFormat.

#include <cstdint>
#include <string>

#include "render/safe_file.h"

struct sf_private_tag;

namespace vrender {

struct AudioFormat {
    int format = 0; // libsndfile's major format | subtype
    int sampleRate = 0;
    int channels = 0;
    std::int64_t frames = 0;
};

class AudioReader {
public:
    AudioReader() = default;
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    bool open(const std::string& path, std::string& error);
    const AudioFormat& format() const { return format_; }
    // Reads up to `frames` interleaved frames; returns the number read, 0 at the end, -1 on an error.
    std::int64_t read(float* interleaved, std::int64_t frames, std::string& error);

private:
    sf_private_tag* file_ = nullptr;
    AudioFormat format_;
    std::string path_;
};

class AudioWriter {
public:
    AudioWriter() = default;
    ~AudioWriter();
    AudioWriter(const AudioWriter&) = delete;
    AudioWriter& operator=(const AudioWriter&) = delete;

    // Writes into `file` (created, not yet committed); closing hands the descriptor back.
    bool open(TempFile& file, int format, int sampleRate, int channels, std::string& error);
    bool write(const float* interleaved, std::int64_t frames, std::string& error);
    // Finishes the file (headers, encoder flush); the temporary file is then ready to commit.
    bool close(std::string& error);

private:
    sf_private_tag* file_ = nullptr;
};

// The container OUTPUT is written in (libsndfile's major format): the one `formatName` names
// ("wav", "aiff", "flac", "ogg"), else the one `outputPath`'s extension names. An extension this
// does not write, none without `formatName`, or one that names another container than
// `formatName` gives 0, and `error` says why.
int chooseOutputContainer(const std::string& formatName, const std::string& outputPath, std::string& error);

// The output format in container `major`: the sample type named by `bits` ("16", "24", "32",
// "float"), else the input's when the container can hold it, else the container's usual one.
// Returns 0 and says why in `error` for a combination libsndfile cannot write.
int chooseOutputFormat(int inputFormat, int major, const std::string& bits, int sampleRate,
                       std::string& error);

// Whether samples beyond full scale are clipped when written (integer sample formats).
bool clipsAtFullScale(int format);

// "WAV, 24-bit PCM" and the like.
std::string describeFormat(int format);

} // namespace vrender
