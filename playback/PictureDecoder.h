#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "media/PictureDecoder.h"
#include "playback/PictureLayout.h"
#include "playback/PictureSlot.h"

namespace ambro::playback {

// The playback session's frame decoder and its picture rules: set up for
// 320 x 240 at first and again for every new size an open reply announces;
// fields are doubled to full height and 176-wide pictures get every odd row
// from the even row below it.
class PictureDecoder {
public:
    PictureDecoder();

    // Sets the decoder up again when the size differs from the current one.
    // Sizes outside the layout limits leave the current decoder in place.
    void announce(std::uint32_t width, std::uint32_t height);

    // Decodes a payload (its buffer readable FrameDecoder::kInputPadding
    // bytes past `length`) into `picture`, which is sized to the bitmap
    // first. True when a picture came out.
    [[nodiscard]] bool decode(std::uint8_t* payload, std::size_t length,
                              PictureSlot::Picture& picture);

    const PictureLayout& layout() const { return layout_; }

private:
    void setUp(const PictureLayout& layout);

    PictureLayout layout_;
    std::unique_ptr<media::PictureDecoder> decoder_;
};

}  // namespace ambro::playback
