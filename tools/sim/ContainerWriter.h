#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/sim/CameraCatalogue.h"
#include "tools/sim/YuvPicture.h"

namespace ambro::sim {

// A privacy-mask rectangle as the frame container carries it: on the
// reference grid (360 units wide, 240 or 288 rows high), rows of the decoded
// picture buffer, right and bottom exclusive.
struct ContainerMask {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Wraps one coded picture in the servers' frame container: the leading
// marker with its scrambled head, the trailing blocks (privacy masks,
// authentication, padding, chain blocks, flip tail) and the checksum.
class ContainerWriter {
public:
    static constexpr std::uint32_t kWordMask = 0x6B19E45C;
    static constexpr std::uint8_t kByteMask = 0x5C;
    static constexpr std::size_t kAuthenticationBlockSize = 1168;
    static constexpr std::size_t kAuthenticationThreshold = 2192;

    // `frameNumber` varies the blocks from picture to picture. A kind of
    // ExtendedHeader expects a stream whose VOL headers carry the extension.
    static std::vector<std::uint8_t> wrap(ContainerKind kind, std::span<const std::uint8_t> stream,
                                          const std::vector<ContainerMask>& masks,
                                          std::uint32_t frameNumber);

    // Turns mask rectangles of a picture (top-down pixels) into container
    // rectangles for a picture of width x height. Pictures without a flip
    // tail are decoded bottom row first, so their rows are mirrored.
    static std::vector<ContainerMask> masksFor(const std::vector<PixelRect>& rects, int width,
                                               int height, bool flipTail);

    // The sum of the bytes at offsets 0, 8, 16, ... below fullLength - 12.
    static std::uint32_t checksum(std::span<const std::uint8_t> payload, std::size_t fullLength);

    static std::vector<std::uint8_t> rectangleList(const std::vector<ContainerMask>& masks);
    static std::vector<std::uint8_t> scrambledMaskBlock(const std::vector<ContainerMask>& masks);
    static std::vector<std::uint8_t> plainMaskBlock(const std::vector<ContainerMask>& masks,
                                                    std::size_t textLength);
};

}  // namespace ambro::sim
