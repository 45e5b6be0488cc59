#include <cstring>

#include "fuzz/targets/FuzzTargets.h"
#include "media/FrameContainer.h"
#include "media/FrameDecoder.h"
#include "media/PictureDecoder.h"

namespace ambro::fuzz {

namespace {

struct PictureSize {
    int width;
    int height;
};

// The sizes the sessions set decoders up for, and a few odd ones.
constexpr PictureSize kSizes[] = {
    {160, 120}, {176, 112}, {176, 144}, {320, 240}, {352, 240}, {352, 288}, {640, 240},
    {704, 576}, {720, 288}, {720, 576}, {16, 16},   {48, 32},   {360, 240}, {17, 9},
};
constexpr int kMostPayloads = 24;

void checkUnwrapped(const media::UnwrappedPayload& result, std::span<const std::uint8_t> payload) {
    if (result.remainingLength > payload.size()) broken("remaining length beyond the payload");
    if (!result.accepted) return;
    if (result.streamOffset + result.streamLength > payload.size()) broken("stream beyond payload");
    if (!result.hasRectangles) return;
    const auto* begin = payload.data();
    const auto* list = result.rectangles.bytes;
    if (list < begin || list + result.rectangles.size > begin + payload.size()) {
        broken("rectangle list outside the payload");
    }
    if (result.rectangles.size < media::MaskStore::kListHeadBytes ||
        result.rectangles.size > media::MaskStore::kStoreBytes) {
        broken("rectangle list of a size the store cannot hold");
    }
}

}  // namespace

int frameContainer(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const PictureSize picture = kSizes[input.byte() % std::size(kSizes)];
    const std::uint8_t flags = input.byte();
    const std::uint32_t outputKind = (flags & 1) ? media::kOutputRgb555 : media::kOutputBgr24;
    const bool readScrambled = (flags & 2) != 0;

    media::PictureDecoder decoder(picture.width, picture.height, outputKind);
    std::vector<std::uint8_t> output(decoder.pictureBytes());
    Bytes buffer;
    Bytes copy;
    for (int n = 0; n < kMostPayloads && !input.empty(); ++n) {
        const auto payload = input.chunk();
        copy.assign(payload.begin(), payload.end());
        checkUnwrapped(media::unwrapFramePayload(copy, readScrambled), copy);

        buffer.assign(payload.size() + media::FrameDecoder::kInputPadding, 0);
        if (!payload.empty()) std::memcpy(buffer.data(), payload.data(), payload.size());
        const int result = decoder.decode(buffer.data(), payload.size(), output.data());
        if (result != media::kDecoderDone && result != media::kPayloadRejected) {
            broken("decode returned an undocumented result");
        }
        if (decoder.inputFormat().imageSize > payload.size()) broken("length grew in decoding");
    }
    return 0;
}

}  // namespace ambro::fuzz
