#include "playback/PictureLayout.h"

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

}  // namespace ambro::playback
