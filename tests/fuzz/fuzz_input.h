#pragma once

// Reading a fuzzer's bytes as a sequence of typed values. Past the end every
// read answers zero, so any input, of any length, is a complete program.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t remaining() const { return size_ - pos_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }
    std::uint32_t u32() {
        return static_cast<std::uint32_t>(u16()) | (static_cast<std::uint32_t>(u16()) << 16);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::int64_t i64() {
        const std::uint64_t low = u32();
        const std::uint64_t high = u32();
        return static_cast<std::int64_t>(low | (high << 32));
    }
    float f32() {
        const std::uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    double f64() {
        const auto bits = static_cast<std::uint64_t>(i64());
        double value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // Up to `limit` bytes, the count read first.
    std::vector<std::uint8_t> bytes(std::size_t limit) {
        std::size_t count = u16();
        count = limit > 0 ? count % (limit + 1) : 0;
        std::vector<std::uint8_t> out;
        while (out.size() < count && !empty()) {
            out.push_back(byte());
        }
        return out;
    }
    // Everything that is left.
    std::vector<std::uint8_t> rest() {
        std::vector<std::uint8_t> out(data_ + pos_, data_ + size_);
        pos_ = size_;
        return out;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};
