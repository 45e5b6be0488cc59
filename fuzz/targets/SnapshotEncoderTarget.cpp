#include <algorithm>

#include "fuzz/targets/FuzzTargets.h"
#include "media/SnapshotEncoder.h"

namespace ambro::fuzz {

namespace {

constexpr int kLargestSide = 4096;

struct Shape {
    int width = 1;
    int height = 1;
};

// Small pictures most of the time, so that many run; long thin ones and,
// rarely, any size up to 4096 x 4096.
Shape shapeOf(FuzzInput& input) {
    const std::uint8_t kind = input.byte();
    const std::uint16_t a = input.le16();
    const std::uint16_t b = input.le16();
    if (kind < 200) return {1 + a % 64, 1 + b % 64};
    if (kind < 240) return {1 + a % 512, 1 + b % 512};
    if (kind < 252) {
        return kind % 2 ? Shape{1 + a % kLargestSide, 1 + b % 16}
                        : Shape{1 + a % 16, 1 + b % kLargestSide};
    }
    return {1 + a % kLargestSide, 1 + b % kLargestSide};
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
    std::vector<std::uint8_t> picture(stride * static_cast<std::size_t>(shape.height - 1) +
                                      media::SnapshotEncoder::tightStride(shape.width));
    for (std::size_t i = 0; i < picture.size() && !pattern.empty(); ++i) {
        picture[i] = pattern[i % pattern.size()];
    }
    media::SnapshotEncoder encoder(quality);
    const std::size_t worst = media::SnapshotEncoder::worstCaseSize(shape.width, shape.height);
    std::vector<std::uint8_t> output(worst);
    std::size_t written = 0;
    if (encoder.encodePicture(picture.data(), stride, output.data(), output.size(), shape.width,
                              shape.height, written) != 1) {
        broken("a picture did not fit its worst-case buffer");
    }
    if (written > worst) broken("more written than the worst case");

    // Any smaller buffer: the encoder may refuse, never write past it.
    const std::size_t capacity = worst - std::min<std::size_t>(worst, shortfall);
    std::vector<std::uint8_t> small(capacity);
    std::size_t smallWritten = 0;
    const int result = encoder.encodePicture(picture.data(), stride, small.data(), small.size(),
                                             shape.width, shape.height, smallWritten);
    if (result == 1 && (smallWritten != written || smallWritten > capacity)) {
        broken("a smaller buffer gave another picture");
    }
    return 0;
}

}  // namespace ambro::fuzz
