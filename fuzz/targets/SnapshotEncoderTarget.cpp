#include <algorithm>
#include <cstring>
#include <memory>

#include "fuzz/targets/FuzzTargets.h"
#include "media/SnapshotEncoder.h"

namespace ambro::fuzz {

namespace {

constexpr int kLargestSide = 4096;

struct Shape {
    int width = 1;
    int height = 1;
};

// Small pictures most of the time, so that many run; long thin ones, and
// any size up to 4096 x 4096 only behind a second marker byte, since one
// such picture takes as long as thousands of small ones.
constexpr std::uint8_t kAnySizeMarker = 0xA5;

Shape shapeOf(FuzzInput& input) {
    const std::uint8_t kind = input.byte();
    const std::uint16_t a = input.le16();
    const std::uint16_t b = input.le16();
    if (kind < 224) return {1 + a % 48, 1 + b % 48};
    if (kind < 240) return {1 + a % 400, 1 + b % 300};
    if (kind < 255 || input.byte() != kAnySizeMarker) {
        return kind % 2 ? Shape{1 + a % kLargestSide, 1 + b % 16}
                        : Shape{1 + a % 16, 1 + b % kLargestSide};
    }
    return {1 + a % kLargestSide, 1 + b % kLargestSide};
}

// A buffer of exactly `size` bytes whose contents are left as they come:
// clearing hundreds of megabytes would cost more than the encoding.
std::unique_ptr<std::uint8_t[]> rawBuffer(std::size_t size) {
    return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[std::max<std::size_t>(size, 1)]);
}

}  // namespace

int snapshotEncoder(const std::uint8_t* data, std::size_t size) {
    FuzzInput input(data, size);
    const Shape shape = shapeOf(input);
    const std::size_t stride = media::SnapshotEncoder::tightStride(shape.width) + input.byte() % 8;
    const int quality = input.byte();
    const std::uint16_t shortfall = input.le16();
    const auto pattern = input.rest();

    // Exactly the picture's rows on the heap: a read past them shows.
    const std::size_t pictureBytes = stride * static_cast<std::size_t>(shape.height - 1) +
                                     media::SnapshotEncoder::tightStride(shape.width);
    const auto picture = rawBuffer(pictureBytes);
    std::memset(picture.get(), 0x80, pictureBytes);
    if (!pattern.empty()) {
        std::size_t filled = std::min(pattern.size(), pictureBytes);
        std::memcpy(picture.get(), pattern.data(), filled);
        while (filled < pictureBytes) {
            const std::size_t copied = std::min(filled, pictureBytes - filled);
            std::memcpy(picture.get() + filled, picture.get(), copied);
            filled += copied;
        }
    }
    media::SnapshotEncoder encoder(quality);
    const std::size_t worst = media::SnapshotEncoder::worstCaseSize(shape.width, shape.height);
    const auto output = rawBuffer(worst);
    std::size_t written = 0;
    if (encoder.encodePicture(picture.get(), stride, output.get(), worst, shape.width,
                              shape.height, written) != 1) {
        broken("a picture did not fit its worst-case buffer");
    }
    if (written > worst) broken("more written than the worst case");

    // Any smaller buffer: the encoder may refuse, never write past it.
    const std::size_t capacity = worst - std::min<std::size_t>(worst, shortfall);
    const auto small = rawBuffer(capacity);
    std::size_t smallWritten = 0;
    const int result = encoder.encodePicture(picture.get(), stride, small.get(), capacity,
                                             shape.width, shape.height, smallWritten);
    if (result == 1 && (smallWritten != written || smallWritten > capacity)) {
        broken("a smaller buffer gave another picture");
    }
    return 0;
}

}  // namespace ambro::fuzz
