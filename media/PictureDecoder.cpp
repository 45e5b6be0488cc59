#include "media/PictureDecoder.h"

namespace ambro::media {

PictureDecoder::PictureDecoder(int width, int height, std::uint32_t outputKind) {
    input_.width = width;
    input_.height = height;
    input_.compression = kW264;
    output_ = input_;
    output_.height = FrameDecoder::outputHeightFor(width, height);
    output_.importantColours = outputKind;
    output_.imageSize = static_cast<std::uint32_t>(pictureBytes());
    // The sessions do not act on the answers: a size the decoder cannot take
    // shows as payloads that decode to no picture.
    (void)decoder_.decompressQuery(&input_, &output_);
    restart();
}

void PictureDecoder::restart() {
    (void)decoder_.decompressBegin(&input_, &output_);
}

int PictureDecoder::decode(std::uint8_t* payload, std::size_t length, std::uint8_t* picture) {
    return decodePayload(decoder_, input_, output_, payload, length, picture);
}

}  // namespace ambro::media
