#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ambro::media {

// A rectangle list found in a mask block: its bytes inside the payload.
struct RectangleList {
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    // Lists of the flip tail's block are mirrored top to bottom.
    bool mirrored = false;
};

// What unwrapping one frame payload yields.
struct UnwrappedPayload {
    bool accepted = false;
    std::size_t remainingLength = 0;  // the length left after trailers were removed
    std::size_t streamOffset = 0;     // the elementary stream within the payload
    std::size_t streamLength = 0;
    bool switchesExtendedHeader = false;
    bool switchesVerticalFlip = false;
    // A scrambled mask block was present (it counts toward the three read).
    bool carriedScrambledMaskBlock = false;
    bool hasRectangles = false;  // `rectangles` holds a complete, checked list
    RectangleList rectangles;
};

// Takes one payload apart: leading marker, head descrambling, checksum,
// trailing blocks. The head is descrambled in place. Scrambled mask blocks are
// read only when `readScrambledMasks` is set. Every length, count and offset a
// block declares is checked against the payload before it is used; a block
// that points outside is not read.
UnwrappedPayload unwrapFramePayload(std::span<std::uint8_t> payload, bool readScrambledMasks);

// The sum of the bytes at offsets 0, 8, 16, ... below `fullLength` - 12.
std::uint32_t payloadChecksum(std::span<const std::uint8_t> payload, std::size_t fullLength);

}  // namespace ambro::media
