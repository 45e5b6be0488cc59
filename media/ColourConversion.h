#pragma once

#include <cstddef>
#include <cstdint>

namespace ambro::media {

// A decoded 4:2:0 picture: a luma plane and two chroma planes of half its
// width and height.
struct PlanarPicture {
    const std::uint8_t* luma = nullptr;
    const std::uint8_t* blueDifference = nullptr;  // Cb (U)
    const std::uint8_t* redDifference = nullptr;   // Cr (V)
    std::size_t lumaStride = 0;
    std::size_t chromaStride = 0;
    int width = 0;
    int height = 0;
};

enum class PackedFormat { Bgr24, Rgb555 };

// Converts a progressive picture to packed pixels byte for byte as
// libxvidcore's own output step does, so that a picture asked of the library
// in planar form and converted here equals the one it would have written:
//
// - Rows are converted in pairs that share a chroma row. An odd last row and
//   an odd last column are not written; nor is a picture 1 pixel wide or high.
// - With vertical flip, the first row of the last pair is written first, so
//   the written rows end up at the start of the output all the same.
// - BGR: most columns are computed with 6 fractional bits (multipliers 74,
//   129, 25, 52 and 102); the columns that the library leaves to its plain
//   code use 13 fractional bits (9535, 16531, 3203, 6660, 13074, i.e. 1.164,
//   2.018, 0.391, 0.813 and 1.596). Those are the last two columns when rows
//   have room for whole groups of 16 pixels and the width is even, else the
//   columns past the last multiple of 16 (up to an even count).
// - RGB 5-5-5: every column with 13 fractional bits, and the low three bits
//   of each component carried to the next pixel of the row.
//
// Nothing is written outside the rows and columns named above.
void convertToPacked(const PlanarPicture& picture, PackedFormat format, std::uint8_t* output,
                     std::size_t outputStride, bool verticalFlip);

}  // namespace ambro::media
