#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ambro::media {

// Reads bits most significant first from a byte span. Reading past the end
// yields zeros and marks the reader exhausted, so a truncated header can be
// told apart from a complete one without any out-of-bounds read.
class BitReader {
public:
    explicit BitReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::uint32_t read(int count);  // 0 to 32 bits
    bool readFlag() { return read(1) != 0; }
    void skip(int count) { read(count); }

    std::size_t position() const { return position_; }  // in bits
    bool exhausted() const { return exhausted_; }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool exhausted_ = false;
};

}  // namespace ambro::media
