#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>

namespace ambro::net {

// The 8-bit text of a fixed-size wire field: up to its first zero byte, and
// never past the field's end when the peer left no terminator.
inline std::string fixedText(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

}  // namespace ambro::net
