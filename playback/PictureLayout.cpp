#include "playback/PictureLayout.h"

#include <cstring>

#include "media/FrameDecoder.h"

namespace ambro::playback {

std::optional<PictureLayout> layoutFor(std::uint32_t width, std::uint32_t height) {
    const auto inRange = [](std::uint32_t side) {
        return side >= kSmallestPictureSide && side <= kLargestPictureSide;
    };
    if (!inRange(width) || !inRange(height)) return std::nullopt;
    PictureLayout layout;
    layout.announcedWidth = width;
    layout.announcedHeight = height;
    // Servers announce 360-wide pictures whose decoder is set up 352 wide.
    layout.width = width == 360 ? 352 : static_cast<int>(width);
    layout.height = static_cast<int>(height);
    layout.decodedHeight = media::FrameDecoder::outputHeightFor(layout.width, layout.height);
    layout.fields = layout.width == 720 && (layout.height == 240 || layout.height == 288);
    layout.copyEvenRows = layout.width == 176 && (layout.height == 144 || layout.height == 112);
    layout.bitmapHeight = layout.fields ? 2 * layout.height : layout.decodedHeight;
    return layout;
}

// From the last row down, so that no row is overwritten before its copy.
void doubleFieldRows(std::uint8_t* pixels, int width, int fieldHeight) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int row = fieldHeight - 1; row >= 0; --row) {
        const std::uint8_t* source = pixels + row * stride;
        std::memcpy(pixels + (2 * row + 1) * stride, source, stride);
        if (row > 0) std::memcpy(pixels + 2 * row * stride, source, stride);
    }
}

void copyEvenRows(std::uint8_t* pixels, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int row = 0; row + 1 < height; row += 2) {
        std::memcpy(pixels + (row + 1) * stride, pixels + row * stride, stride);
    }
}

}  // namespace ambro::playback
