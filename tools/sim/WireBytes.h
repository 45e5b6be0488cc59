#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "platform/ByteOrder.h"

namespace ambro::sim {

// A message being built for the wire: little-endian fields written at fixed
// offsets of a zero-filled buffer, which grows as needed.
class WireBytes {
public:
    WireBytes() = default;
    explicit WireBytes(std::size_t size) : bytes_(size, 0) {}

    void put8(std::size_t offset, std::uint8_t value) { room(offset, 1)[0] = value; }
    void put16(std::size_t offset, std::uint16_t value) { platform::storeLe16(room(offset, 2), value); }
    void put32(std::size_t offset, std::uint32_t value) { platform::storeLe32(room(offset, 4), value); }
    void putBytes(std::size_t offset, std::span<const std::uint8_t> bytes) {
        if (!bytes.empty()) std::memcpy(room(offset, bytes.size()), bytes.data(), bytes.size());
    }
    // Text in a field of `field` bytes: cut to leave a terminating zero.
    void putText(std::size_t offset, const std::string& text, std::size_t field) {
        const std::size_t length = std::min(text.size(), field - 1);
        std::memcpy(room(offset, field), text.data(), length);
    }
    void append(std::span<const std::uint8_t> bytes) { putBytes(bytes_.size(), bytes); }
    void append32(std::uint32_t value) { put32(bytes_.size(), value); }

    std::size_t size() const { return bytes_.size(); }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    operator std::span<const std::uint8_t>() const { return bytes_; }

private:
    std::uint8_t* room(std::size_t offset, std::size_t count) {
        if (bytes_.size() < offset + count) bytes_.resize(offset + count, 0);
        return bytes_.data() + offset;
    }

    std::vector<std::uint8_t> bytes_;
};

// The text of a zero-terminated field, at most `field` bytes long.
inline std::string textOfField(const std::uint8_t* bytes, std::size_t field) {
    std::size_t length = 0;
    while (length < field && bytes[length] != 0) ++length;
    return std::string(reinterpret_cast<const char*>(bytes), length);
}

}  // namespace ambro::sim
