#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace ambro::sim {

// Some servers' streams carry 40 bits of their own in every VOL header of
// rectangular shape, right after the marker bit that follows
// video_object_layer_height; a client switched to extended-header mode skips
// them. This writes such streams from standard ones.
class VolHeaderExtension {
public:
    static constexpr std::uint32_t kFirstWord = 0xA5C3A5C3;
    static constexpr std::uint8_t kLastByte = 0x5A;

    // The stream with the 40 bits inserted into each rectangular VOL header;
    // other bytes, and headers that cannot be parsed, are left as they are.
    static std::vector<std::uint8_t> extend(const std::vector<std::uint8_t>& stream);

    // The bit position just after the marker that follows the height field of
    // the VOL header whose start code begins at `start`; none when the header
    // is not rectangular or is cut short.
    static std::optional<std::size_t> insertionPoint(const std::vector<std::uint8_t>& stream,
                                                     std::size_t start);
};

}  // namespace ambro::sim
