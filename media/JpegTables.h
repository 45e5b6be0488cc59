#pragma once

#include <array>
#include <cstdint>

namespace ambro::media::jpeg {

// The fixed tables of baseline JPEG (ITU-T T.81) that the snapshot encoder
// uses. Quantisation tables are in natural (row-major) order.

// Annex K.1 and K.2: luminance and chrominance quantisation.
extern const std::array<std::uint8_t, 64> kLuminanceQuantisation;
extern const std::array<std::uint8_t, 64> kChrominanceQuantisation;

// Natural index of each zig-zag position.
inline constexpr std::array<std::uint8_t, 64> kZigZagToNatural = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// The AAN fast DCT's scale factors: 16384 x f(row) x f(column), f(0) = 1 and
// f(k) = cos(k pi / 16) sqrt(2), rounded.
extern const std::array<std::uint16_t, 64> kAanScales;

// A Huffman table as written in a DHT segment: code counts by length 1..16
// and the symbols in code order.
struct HuffmanTable {
    std::array<std::uint8_t, 16> bits;
    const std::uint8_t* values;
    int valueCount;
};

// Annex K.3 to K.6.
extern const HuffmanTable kLuminanceDc;
extern const HuffmanTable kLuminanceAc;
extern const HuffmanTable kChrominanceDc;
extern const HuffmanTable kChrominanceAc;

}  // namespace ambro::media::jpeg
