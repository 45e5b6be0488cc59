#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace ambro::media {

// Start codes of an MPEG-4 Part 2 elementary stream: 00 00 01 followed by the
// code byte.
inline constexpr std::uint8_t kVopStartCode = 0xB6;

inline bool isVolStartCode(std::uint8_t code) { return code >= 0x20 && code <= 0x2F; }

// The offset of the first start code at or after `from`, if any.
std::optional<std::size_t> findStartCode(std::span<const std::uint8_t> stream, std::size_t from);

enum class VopCodingType { I = 0, P = 1, B = 2, S = 3 };

// The coding type of the VOP whose start code is at `offset`; none when the
// start code is not a VOP's or the stream ends before the type bits.
std::optional<VopCodingType> vopCodingTypeAt(std::span<const std::uint8_t> stream,
                                             std::size_t offset);

// What the rewrite needs of a video object layer header.
struct VolHeader {
    bool rectangular = false;
    int width = 0;
    int height = 0;
    // Bit offset (from the start code) just after the marker bit that follows
    // video_object_layer_height; meaningful for rectangular layers only.
    std::size_t afterHeightMarker = 0;
};

// Parses the VOL header whose start code is at the start of `header`; none
// when it is truncated before the fields above.
std::optional<VolHeader> parseVolHeader(std::span<const std::uint8_t> header);

// Some servers put 40 bits of their own into every rectangular VOL header,
// right after the marker bit that follows the height. This removes them from
// every such header of `stream` in place and returns the new length. Headers
// too short to hold the 40 bits are left alone.
std::size_t removeExtendedHeaderBits(std::uint8_t* stream, std::size_t length);

}  // namespace ambro::media
