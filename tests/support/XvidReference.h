#pragma once

#include <cstdint>
#include <vector>

#include "media/ColourConversion.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

// libxvidcore used directly, as the reference for what the frame decoder
// must reproduce.

// A YV12 picture in one block: the luma plane (rows `width` bytes apart),
// then Cr, then Cb (rows width / 2 bytes apart, height / 2 rows each), the
// layout the library's colour-space utility reads.
struct Yv12Picture {
    int width = 0;
    int height = 0;
    Bytes bytes;
    std::uint8_t* luma() { return bytes.data(); }
    std::uint8_t* redDifference() { return luma() + static_cast<std::size_t>(width) * height; }
    std::uint8_t* blueDifference() {
        return redDifference() + static_cast<std::size_t>(width / 2) * (height / 2);
    }
    media::PlanarPicture planar();
};

Yv12Picture makeYv12(int width, int height);

// The library's own conversion of the picture into `output` (rows `stride`
// bytes apart), as its decoder would write it.
void libraryConvert(Yv12Picture& picture, media::PackedFormat format, std::uint8_t* output,
                    std::size_t stride, bool verticalFlip);

// Decodes each payload (bare elementary stream) with a fresh library decoder
// writing packed pixels of a width x height picture; after every call that
// produced a picture, a copy of the whole output picture.
std::vector<Bytes> libraryDecode(const std::vector<Bytes>& streams, int width, int height,
                                 media::PackedFormat format, bool verticalFlip);

}  // namespace ambro::test
