#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace ambro::fuzz {

using Bytes = std::vector<std::uint8_t>;

// Reads a fuzzer's input the way the harnesses lay it out: single bytes,
// little-endian words and chunks (a 16-bit length, then that many bytes).
// Past the end every read gives zeros or an empty chunk.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes_(data, size) {}

    bool empty() const { return position_ >= bytes_.size(); }

    std::uint8_t byte() { return empty() ? 0 : bytes_[position_++]; }
    std::uint16_t le16() { return static_cast<std::uint16_t>(byte() | byte() << 8); }

    std::span<const std::uint8_t> chunk() {
        const std::size_t length = le16();
        return take(length);
    }
    std::span<const std::uint8_t> rest() { return take(bytes_.size() - std::min(position_, bytes_.size())); }

private:
    std::span<const std::uint8_t> take(std::size_t length) {
        const std::size_t start = std::min(position_, bytes_.size());
        const std::size_t taken = std::min(length, bytes_.size() - start);
        position_ = start + taken;
        return bytes_.subspan(start, taken);
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// The writing side, for seeds and regression inputs.
inline void appendChunk(Bytes& input, std::span<const std::uint8_t> chunk) {
    const std::size_t length = std::min<std::size_t>(chunk.size(), 0xFFFF);
    input.push_back(static_cast<std::uint8_t>(length));
    input.push_back(static_cast<std::uint8_t>(length >> 8));
    input.insert(input.end(), chunk.begin(), chunk.begin() + static_cast<long>(length));
}

inline void appendBytes(Bytes& input, std::span<const std::uint8_t> bytes) {
    input.insert(input.end(), bytes.begin(), bytes.end());
}

}  // namespace ambro::fuzz
