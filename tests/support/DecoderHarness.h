#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/FrameDecoder.h"
#include "media/PictureDecoder.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

// A FrameDecoder with its buffers laid out as a session lays them out, plus
// guard bytes after the output picture that must never change.
class DecoderHarness {
public:
    static constexpr std::uint8_t kGuard = 0xEE;
    static constexpr std::size_t kGuardBytes = 256;

    // 640 x 240 pictures come out 480 rows high, as the decoder doubles them.
    DecoderHarness(int width, int height, std::uint32_t outputKind = media::kOutputBgr24);

    // Copies the payload into the input buffer and decodes it.
    int decode(const Bytes& payload);

    Bytes picture() const;
    bool guardIntact() const;
    std::size_t pictureBytes() const;
    media::FrameDecoder& decoder() { return decoder_.decoder(); }
    const media::PictureFormat& inputFormat() const { return decoder_.inputFormat(); }

private:
    media::PictureDecoder decoder_;
    Bytes input_;
    Bytes output_;
};

// The first picture of a fixture stream, as the decoder leaves it.
Bytes decodeFirstPicture(const std::string& fixture, int width, int height);

}  // namespace ambro::test
