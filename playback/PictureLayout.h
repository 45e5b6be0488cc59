#pragma once

#include <cstdint>
#include <optional>

namespace ambro::playback {

// How a picture of the size an open reply announces is decoded and shown.
struct PictureLayout {
    // The size the open reply announced.
    std::uint32_t announcedWidth = 0;
    std::uint32_t announcedHeight = 0;
    // The coded picture the decoder is set up for.
    int width = 0;
    int height = 0;
    // Rows the decoder writes, and rows of the picture shown.
    int decodedHeight = 0;
    int bitmapHeight = 0;
    // 720 x 240 and 720 x 288 pictures are single fields: every row is doubled.
    bool fields = false;
    // 176-wide pictures: row 2i + 1 becomes a copy of row 2i.
    bool copyEvenRows = false;

    std::size_t bitmapBytes() const {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(bitmapHeight) * 3;
    }
};

inline constexpr std::uint32_t kSmallestPictureSide = 16;
inline constexpr std::uint32_t kLargestPictureSide = 2048;

// The layout of an announced size; none for a size no server sends, which
// would otherwise make the session allocate whatever a peer asks for.
std::optional<PictureLayout> layoutFor(std::uint32_t width, std::uint32_t height);


}  // namespace ambro::playback
