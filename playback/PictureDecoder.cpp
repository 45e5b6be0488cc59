#include "playback/PictureDecoder.h"

namespace ambro::playback {

namespace {

constexpr std::uint32_t kFirstWidth = 320;
constexpr std::uint32_t kFirstHeight = 240;

}  // namespace

PictureDecoder::PictureDecoder() { setUp(*layoutFor(kFirstWidth, kFirstHeight)); }

void PictureDecoder::announce(std::uint32_t width, std::uint32_t height) {
    if (width == layout_.announcedWidth && height == layout_.announcedHeight) return;
    if (const auto layout = layoutFor(width, height)) setUp(*layout);
}

void PictureDecoder::setUp(const PictureLayout& layout) {
    layout_ = layout;
    inputFormat_ = media::PictureFormat{};
    inputFormat_.width = layout.width;
    inputFormat_.height = layout.height;
    inputFormat_.compression = media::kW264;
    outputFormat_ = inputFormat_;
    outputFormat_.height = layout.decodedHeight;
    outputFormat_.imageSize =
        static_cast<std::uint32_t>(layout.width) * static_cast<std::uint32_t>(layout.decodedHeight) * 3;
    decoder_ = std::make_unique<media::FrameDecoder>();
    decoder_->decompressQuery(&inputFormat_, &outputFormat_);
    decoder_->decompressBegin(&inputFormat_, &outputFormat_);
}

bool PictureDecoder::decode(std::uint8_t* payload, std::size_t length,
                            PictureSlot::Picture& picture) {
    picture.pixels.resize(layout_.bitmapBytes());
    if (media::decodePayload(*decoder_, inputFormat_, outputFormat_, payload, length,
                             picture.pixels.data()) != 0 ||
        !decoder_->pictureProduced()) {
        return false;
    }
    if (layout_.fields) doubleFieldRows(picture.pixels.data(), layout_.width, layout_.height);
    if (layout_.copyEvenRows) {
        copyEvenRows(picture.pixels.data(), layout_.width, layout_.bitmapHeight);
    }
    picture.width = layout_.width;
    picture.height = layout_.bitmapHeight;
    return true;
}

}  // namespace ambro::playback
