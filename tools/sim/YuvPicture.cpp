#include "tools/sim/YuvPicture.h"

#include <algorithm>

namespace ambro::sim {

namespace {

std::uint8_t clampByte(int value) {
    return static_cast<std::uint8_t>(std::clamp(value, 0, 255));
}

void rotatePlane(const std::vector<std::uint8_t>& source, int width, int height,
                 std::vector<std::uint8_t>& target) {
    // Row r of the turned picture is column r of the source, read bottom-up.
    const int targetWidth = height;
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            target[static_cast<std::size_t>(column) * targetWidth + (height - 1 - row)] =
                source[static_cast<std::size_t>(row) * width + column];
        }
    }
}

}  // namespace

Yuv Yuv::fromRgb(int red, int green, int blue) {
    const int y = 16 + (66 * red + 129 * green + 25 * blue + 128) / 256;
    const int u = 128 + (-38 * red - 74 * green + 112 * blue + 128) / 256;
    const int v = 128 + (112 * red - 94 * green - 18 * blue + 128) / 256;
    return {clampByte(y), clampByte(u), clampByte(v)};
}

PixelRect PixelRect::intersected(const PixelRect& other) const {
    const int left = std::max(x, other.x);
    const int top = std::max(y, other.y);
    const int rightEdge = std::min(right(), other.right());
    const int bottomEdge = std::min(bottom(), other.bottom());
    return {left, top, std::max(0, rightEdge - left), std::max(0, bottomEdge - top)};
}

void YuvPicture::resize(int newWidth, int newHeight) {
    width = newWidth;
    height = newHeight;
    y.assign(static_cast<std::size_t>(width) * height, 16);
    u.assign(static_cast<std::size_t>(chromaWidth()) * chromaHeight(), 128);
    v.assign(static_cast<std::size_t>(chromaWidth()) * chromaHeight(), 128);
}

YuvPicture YuvPicture::rotatedClockwise() const {
    YuvPicture turned(height, width);
    rotatePlane(y, width, height, turned.y);
    rotatePlane(u, chromaWidth(), chromaHeight(), turned.u);
    rotatePlane(v, chromaWidth(), chromaHeight(), turned.v);
    return turned;
}

}  // namespace ambro::sim
