#pragma once

#include <cstdint>
#include <vector>

namespace ambro::sim {

// A colour as the encoder takes it: studio-range luma and the two chroma
// differences (BT.601).
struct Yuv {
    std::uint8_t y = 16;
    std::uint8_t u = 128;
    std::uint8_t v = 128;

    static Yuv fromRgb(int red, int green, int blue);
};

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool empty() const { return width <= 0 || height <= 0; }
    PixelRect intersected(const PixelRect& other) const;
};

// A 4:2:0 planar picture (I420), rows top-down as the scene is seen; the
// encoder is told whether to code it bottom row first. Width and height are
// even.
struct YuvPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> y;
    std::vector<std::uint8_t> u;
    std::vector<std::uint8_t> v;

    YuvPicture() = default;
    YuvPicture(int width, int height) { resize(width, height); }
    void resize(int width, int height);

    int chromaWidth() const { return width / 2; }
    int chromaHeight() const { return height / 2; }
    PixelRect bounds() const { return {0, 0, width, height}; }

    // The picture turned 90 degrees clockwise (width and height swap).
    YuvPicture rotatedClockwise() const;
};

}  // namespace ambro::sim
