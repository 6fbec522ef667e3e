#include "render/preset_file.h"

#include <bit>
#include <cstdio>
#include <cstring>

namespace vrender {

namespace {

constexpr std::int32_t code(char a, char b, char c, char d) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr std::int32_t kFileMagic = code('C', 'c', 'n', 'K');
constexpr std::int32_t kProgramValues = code('F', 'x', 'C', 'k');
constexpr std::int32_t kProgramChunk = code('F', 'P', 'C', 'h');
constexpr std::int32_t kBankValues = code('F', 'x', 'B', 'k');
constexpr std::int32_t kBankChunk = code('F', 'B', 'C', 'h');

// 'CcnK', size, kind, version, unique id, plug-in version, count: seven int32 fields.
constexpr std::size_t kCommonHeader = 28;
constexpr std::size_t kProgramHeader = kCommonHeader + kProgramNameBytes;
// A bank's header has 128 reserved bytes (the first four hold the current program in version 2).
constexpr std::size_t kBankReserved = 128;
constexpr std::size_t kBankHeader = kCommonHeader + kBankReserved;

class Writer {
public:
    void int32(std::int32_t v) {
        const auto u = static_cast<std::uint32_t>(v);
        for (int shift = 24; shift >= 0; shift -= 8) {
            bytes.push_back(static_cast<std::uint8_t>(u >> shift));
        }
    }
    void float32(float v) { int32(std::bit_cast<std::int32_t>(v)); }
    void raw(const std::uint8_t* data, std::size_t size) { bytes.insert(bytes.end(), data, data + size); }
    void zeros(std::size_t count) { bytes.insert(bytes.end(), count, 0); }
    void name(const std::string& text) {
        const std::size_t kept = std::min(text.size(), kProgramNameBytes - 1);
        raw(reinterpret_cast<const std::uint8_t*>(text.data()), kept);
        zeros(kProgramNameBytes - kept);
    }
    // The size field counts the bytes after itself.
    void finish(std::size_t sizeFieldAt) {
        const auto size = static_cast<std::uint32_t>(bytes.size() - sizeFieldAt - 4);
        for (int i = 0; i < 4; ++i) {
            bytes[sizeFieldAt + static_cast<std::size_t>(i)] =
                static_cast<std::uint8_t>(size >> (24 - 8 * i));
        }
    }

    std::vector<std::uint8_t> bytes;
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t remaining() const { return size_ - pos_; }
    std::size_t position() const { return pos_; }
    std::int32_t int32() {
        std::uint32_t u = 0;
        for (int i = 0; i < 4; ++i) {
            u = (u << 8) | data_[pos_++];
        }
        return static_cast<std::int32_t>(u);
    }
    float float32() { return std::bit_cast<float>(int32()); }
    const std::uint8_t* take(std::size_t count) {
        const std::uint8_t* at = data_ + pos_;
        pos_ += count;
        return at;
    }
    std::string name() {
        const char* text = reinterpret_cast<const char*>(take(kProgramNameBytes));
        return std::string(text, strnlen(text, kProgramNameBytes - 1));
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

std::string sizeText(std::size_t bytes) {
    return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

struct Header {
    std::int32_t kind = 0;
    std::int32_t version = 0;
    std::int32_t uniqueId = 0;
    std::int32_t pluginVersion = 0;
    std::int32_t count = 0;
};

// Reads and checks the fields every file starts with; `recordEnd` becomes the position where the
// record ends according to its size field, which is known to lie within the bytes given.
bool readHeader(Reader& in, const char* what, Header& header, std::size_t& recordEnd, std::string& error) {
    if (in.remaining() < kCommonHeader) {
        error =
            std::string("truncated ") + what + ": " + sizeText(in.remaining()) + " cannot hold the header";
        return false;
    }
    const std::size_t start = in.position();
    const std::int32_t magic = in.int32();
    if (magic != kFileMagic) {
        error = std::string("not a ") + what + ": it starts with '" + fourCharacterText(magic) +
                "' instead of 'CcnK'";
        return false;
    }
    const std::int64_t declared = static_cast<std::uint32_t>(in.int32());
    const std::int64_t available = static_cast<std::int64_t>(in.remaining());
    if (declared > available) {
        error = std::string("truncated ") + what + ": its size field promises " +
                sizeText(static_cast<std::size_t>(declared)) + " after it, only " +
                sizeText(static_cast<std::size_t>(available)) + " are there";
        return false;
    }
    recordEnd = start + 8 + static_cast<std::size_t>(declared);
    header.kind = in.int32();
    header.version = in.int32();
    header.uniqueId = in.int32();
    header.pluginVersion = in.int32();
    header.count = in.int32();
    if (header.version < 1 || header.version > 2) {
        error = std::string("unsupported ") + what + " format version " + std::to_string(header.version);
        return false;
    }
    if (header.count < 0) {
        error = std::string("inconsistent ") + what + ": negative count " + std::to_string(header.count);
        return false;
    }
    return true;
}

bool need(const Reader& in, std::size_t end, std::size_t bytes, const char* what, const char* part,
          std::string& error) {
    // A size field smaller than the header it belongs to puts the end before the position.
    const std::size_t left = end > in.position() ? end - in.position() : 0;
    if (bytes > left) {
        error = std::string("truncated ") + what + ": " + part + " needs " + sizeText(bytes) + ", " +
                sizeText(left) + " remain";
        return false;
    }
    return true;
}

// A program record inside [position, end): header, name and body.
bool readProgram(Reader& in, ProgramFile& program, std::size_t& recordEnd, std::string& error) {
    const char* what = "preset file";
    Header header;
    if (!readHeader(in, what, header, recordEnd, error)) {
        return false;
    }
    if (header.kind == kBankChunk || header.kind == kBankValues) {
        error = "this is a bank file ('" + fourCharacterText(header.kind) + "'), not a preset";
        return false;
    }
    if (header.kind != kProgramChunk && header.kind != kProgramValues) {
        error = "not a preset file: unknown kind '" + fourCharacterText(header.kind) + "'";
        return false;
    }
    if (!need(in, recordEnd, kProgramNameBytes, what, "the program name", error)) {
        return false;
    }
    program.formatVersion = header.version;
    program.uniqueId = header.uniqueId;
    program.pluginVersion = header.pluginVersion;
    program.numParams = header.count;
    program.name = in.name();
    program.chunk.clear();
    program.values.clear();
    if (header.kind == kProgramValues) {
        program.form = StateForm::Values;
        const std::size_t count = static_cast<std::size_t>(header.count);
        if (!need(in, recordEnd, 4 * count, what, "the parameter values", error)) {
            return false;
        }
        program.values.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            program.values.push_back(in.float32());
        }
    } else {
        program.form = StateForm::Chunk;
        if (!need(in, recordEnd, 4, what, "the chunk size", error)) {
            return false;
        }
        const std::int32_t size = in.int32();
        if (size < 0) {
            error = "inconsistent preset file: negative chunk size " + std::to_string(size);
            return false;
        }
        if (!need(in, recordEnd, static_cast<std::size_t>(size), what, "the chunk", error)) {
            return false;
        }
        const std::uint8_t* data = in.take(static_cast<std::size_t>(size));
        program.chunk.assign(data, data + size);
    }
    if (in.position() != recordEnd) {
        error = "inconsistent preset file: its size field counts " + sizeText(recordEnd - in.position()) +
                " more than its contents";
        return false;
    }
    return true;
}

bool wholeFileUsed(const Reader& in, const char* what, std::string& error) {
    if (in.remaining() != 0) {
        error = std::string("inconsistent ") + what + ": " + sizeText(in.remaining()) +
                " follow the end its size field gives";
        return false;
    }
    return true;
}

} // namespace

std::string fourCharacterText(std::int32_t value) {
    std::string text;
    const auto u = static_cast<std::uint32_t>(value);
    for (int shift = 24; shift >= 0; shift -= 8) {
        const auto c = static_cast<unsigned char>(u >> shift);
        if (c >= 0x20 && c < 0x7F) {
            text += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

std::vector<std::uint8_t> encodeProgram(const ProgramFile& program) {
    Writer out;
    out.int32(kFileMagic);
    out.int32(0);
    const bool values = program.form == StateForm::Values;
    out.int32(values ? kProgramValues : kProgramChunk);
    out.int32(program.formatVersion);
    out.int32(program.uniqueId);
    out.int32(program.pluginVersion);
    out.int32(values ? static_cast<std::int32_t>(program.values.size()) : program.numParams);
    out.name(program.name);
    if (values) {
        for (float v : program.values) {
            out.float32(v);
        }
    } else {
        out.int32(static_cast<std::int32_t>(program.chunk.size()));
        out.raw(program.chunk.data(), program.chunk.size());
    }
    out.finish(4);
    return out.bytes;
}

std::vector<std::uint8_t> encodeBank(const BankFile& bank) {
    Writer out;
    out.int32(kFileMagic);
    out.int32(0);
    const bool values = bank.form == StateForm::Values;
    out.int32(values ? kBankValues : kBankChunk);
    out.int32(bank.formatVersion);
    out.int32(bank.uniqueId);
    out.int32(bank.pluginVersion);
    out.int32(values ? static_cast<std::int32_t>(bank.programs.size()) : bank.numPrograms);
    if (bank.formatVersion >= 2) {
        out.int32(bank.currentProgram < 0 ? 0 : bank.currentProgram);
        out.zeros(kBankReserved - 4);
    } else {
        out.zeros(kBankReserved);
    }
    if (values) {
        for (const ProgramFile& program : bank.programs) {
            ProgramFile record = program;
            record.form = StateForm::Values;
            const std::vector<std::uint8_t> bytes = encodeProgram(record);
            out.raw(bytes.data(), bytes.size());
        }
    } else {
        out.int32(static_cast<std::int32_t>(bank.chunk.size()));
        out.raw(bank.chunk.data(), bank.chunk.size());
    }
    out.finish(4);
    return out.bytes;
}

std::uint64_t programFileBytes(StateForm form, std::uint64_t count) {
    return kProgramHeader + (form == StateForm::Values ? 4 * count : 4 + count);
}

std::uint64_t bankFileBytes(StateForm form, std::uint64_t programs, std::uint64_t count) {
    return kBankHeader + (form == StateForm::Values ? programs * programFileBytes(form, count) : 4 + count);
}

bool decodeProgram(const std::vector<std::uint8_t>& bytes, ProgramFile& program, std::string& error) {
    Reader in(bytes.data(), bytes.size());
    std::size_t end = 0;
    if (!readProgram(in, program, end, error)) {
        return false;
    }
    return wholeFileUsed(in, "preset file", error);
}

bool decodeBank(const std::vector<std::uint8_t>& bytes, BankFile& bank, std::string& error) {
    const char* what = "bank file";
    Reader in(bytes.data(), bytes.size());
    Header header;
    std::size_t end = 0;
    if (!readHeader(in, what, header, end, error)) {
        return false;
    }
    if (header.kind == kProgramChunk || header.kind == kProgramValues) {
        error = "this is a preset file ('" + fourCharacterText(header.kind) + "'), not a bank";
        return false;
    }
    if (header.kind != kBankChunk && header.kind != kBankValues) {
        error = "not a bank file: unknown kind '" + fourCharacterText(header.kind) + "'";
        return false;
    }
    if (!need(in, end, kBankReserved, what, "the reserved header", error)) {
        return false;
    }
    bank.formatVersion = header.version;
    bank.uniqueId = header.uniqueId;
    bank.pluginVersion = header.pluginVersion;
    bank.numPrograms = header.count;
    const std::size_t reservedAt = in.position();
    bank.currentProgram = header.version >= 2 ? in.int32() : -1;
    in.take(kBankReserved - (in.position() - reservedAt));
    bank.chunk.clear();
    bank.programs.clear();

    if (header.kind == kBankValues) {
        bank.form = StateForm::Values;
        for (std::int32_t i = 0; i < header.count; ++i) {
            ProgramFile program;
            std::size_t programEnd = 0;
            Reader rest(bytes.data() + in.position(), end - in.position());
            std::string programError;
            if (!readProgram(rest, program, programEnd, programError)) {
                error = "bank program " + std::to_string(i) + ": " + programError;
                return false;
            }
            if (program.form != StateForm::Values) {
                error = "inconsistent bank file: program " + std::to_string(i) +
                        " is a chunk inside a bank of plain values";
                return false;
            }
            in.take(programEnd);
            bank.programs.push_back(std::move(program));
        }
    } else {
        bank.form = StateForm::Chunk;
        if (!need(in, end, 4, what, "the chunk size", error)) {
            return false;
        }
        const std::int32_t size = in.int32();
        if (size < 0) {
            error = "inconsistent bank file: negative chunk size " + std::to_string(size);
            return false;
        }
        if (!need(in, end, static_cast<std::size_t>(size), what, "the chunk", error)) {
            return false;
        }
        const std::uint8_t* data = in.take(static_cast<std::size_t>(size));
        bank.chunk.assign(data, data + size);
    }
    if (in.position() != end) {
        error = "inconsistent bank file: its size field counts " + sizeText(end - in.position()) +
                " more than its contents";
        return false;
    }
    return wholeFileUsed(in, what, error);
}

} // namespace vrender
