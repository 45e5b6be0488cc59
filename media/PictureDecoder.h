#pragma once

#include <cstddef>
#include <cstdint>

#include "media/FrameDecoder.h"
#include "media/PictureFormat.h"

namespace ambro::media {

// A FrameDecoder set up the way every session sets one up for its picture
// size: both format records filled, the formats queried and decoding begun.
// The caller owns the payload buffer (with kInputPadding readable bytes
// after the payload) and the picture buffer (pictureBytes() long).
class PictureDecoder {
public:
    PictureDecoder(int width, int height, std::uint32_t outputKind = kOutputBgr24);

    int width() const { return output_.width; }
    // The rows of the output picture: 480 for 640 x 240 pictures.
    int height() const { return output_.height; }
    int bytesPerPixel() const { return output_.importantColours == kOutputRgb555 ? 2 : 3; }
    std::size_t stride() const { return static_cast<std::size_t>(width()) * bytesPerPixel(); }
    std::size_t pictureBytes() const { return stride() * static_cast<std::size_t>(height()); }

    // kDecoderDone once decoded (with or without a picture), kPayloadRejected
    // when the container was rejected; the payload is changed in place.
    [[nodiscard]] int decode(std::uint8_t* payload, std::size_t length, std::uint8_t* picture);
    // Begins decoding afresh: a new MPEG-4 decoder, flip and extended-header
    // mode off (the masks and their count stay).
    void restart();
    bool pictureProduced() const { return decoder_.pictureProduced(); }
    FrameDecoder& decoder() { return decoder_; }
    const PictureFormat& inputFormat() const { return input_; }

private:
    PictureFormat input_;
    PictureFormat output_;
    FrameDecoder decoder_;
};

}  // namespace ambro::media
