#include "tests/support/DecoderHarness.h"

#include <algorithm>

#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::test {

namespace {
constexpr std::size_t kInputCapacity =
    media::FrameDecoder::kMaxPayload + media::FrameDecoder::kInputPadding;
}

DecoderHarness::DecoderHarness(int width, int height, std::uint32_t outputKind)
    : decoder_(width, height, outputKind), input_(kInputCapacity) {
    output_.assign(pictureBytes() + kGuardBytes, kGuard);
    std::fill_n(output_.begin(), pictureBytes(), 0x7F);
}

int DecoderHarness::decode(const Bytes& payload) {
    std::copy(payload.begin(), payload.end(), input_.begin());
    return decoder_.decode(input_.data(), payload.size(), output_.data());
}

Bytes DecoderHarness::picture() const {
    return Bytes(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(pictureBytes()));
}

bool DecoderHarness::guardIntact() const {
    return std::all_of(output_.begin() + static_cast<std::ptrdiff_t>(pictureBytes()), output_.end(),
                       [](std::uint8_t b) { return b == kGuard; });
}

std::size_t DecoderHarness::pictureBytes() const { return decoder_.pictureBytes(); }

Bytes decodeFirstPicture(const std::string& fixture, int width, int height) {
    const auto coded = splitIntoPictures(readFile(fixturePath("mpeg4/" + fixture)));
    DecoderHarness harness(width, height);
    harness.decode(PayloadBuilder(PayloadMarker::NoChecksum, coded.at(0).bytes).build());
    return harness.picture();
}

}  // namespace ambro::test
