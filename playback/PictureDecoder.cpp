#include "playback/PictureDecoder.h"

#include "media/PictureRows.h"

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
    decoder_ = std::make_unique<media::PictureDecoder>(layout.width, layout.height);
}

bool PictureDecoder::decode(std::uint8_t* payload, std::size_t length,
                            PictureSlot::Picture& picture) {
    picture.pixels.resize(layout_.bitmapBytes());
    if (decoder_->decode(payload, length, picture.pixels.data()) != media::kDecoderDone ||
        !decoder_->pictureProduced()) {
        return false;
    }
    const std::size_t stride = decoder_->stride();
    if (layout_.fields) media::doubleRows(picture.pixels.data(), stride, layout_.height);
    if (layout_.copyEvenRows) media::copyEvenRows(picture.pixels.data(), stride, layout_.bitmapHeight);
    picture.width = layout_.width;
    picture.height = layout_.bitmapHeight;
    return true;
}

}  // namespace ambro::playback
