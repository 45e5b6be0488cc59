#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "media/JpegTables.h"

namespace ambro::media {

// The quantisation of one component for the AAN DCT's outputs, in two forms
// that give the same quotients: half of each divisor and its float
// reciprocal by natural (row-major) position for the plain code; and for the
// vectorised code 16-bit halves, multipliers and scales by natural row, each
// row twice over (once for each block of a pair).
struct QuantisationTable {
    alignas(32) std::array<std::int32_t, 64> halves{};
    alignas(32) std::array<float, 64> reciprocals{};
    alignas(32) std::int16_t pairedHalves[8][16]{};
    alignas(32) std::uint16_t pairedMultipliers[8][16]{};
    alignas(32) std::uint16_t pairedScales[8][16]{};
};

// The table for the quantisation values as written in DQT, natural order:
// divisor i is (value x aan[i] + 1024) >> 11.
QuantisationTable makeQuantisationTable(const std::array<std::uint8_t, 64>& values);

// y / divisor as the plain code computes it: the float product (y + 0.5) x
// (1 / divisor), truncated. For y below 2^17 and divisors up to 4096 it lies
// within 2^-6 / divisor of (y + 0.5) / divisor, which is never nearer than
// 0.5 / divisor to an integer, so truncation gives the integer quotient.
inline std::int32_t quantisationQuotient(std::int32_t y, float reciprocal) {
    return static_cast<std::int32_t>((static_cast<float>(y) + 0.5f) * reciprocal);
}

// The same quotient as the vectorised code computes it in 16-bit lanes, for
// y below 2^14: t = (4y x multiplier) >> 16, then (2t x scale) >> 16.
struct QuotientFactors {
    std::uint16_t multiplier;
    std::uint16_t scale;
};
QuotientFactors quotientFactors(std::int32_t divisor);
inline std::int32_t quantisationQuotient16(std::int32_t y, QuotientFactors factors) {
    const std::uint32_t t = (static_cast<std::uint32_t>(4 * y) * factors.multiplier) >> 16;
    return static_cast<std::int32_t>((2 * t * factors.scale) >> 16);
}

// The largest AC magnitude the Huffman tables can code.
inline constexpr std::int32_t kMaxAcCoefficient = 1023;

// The quantised coefficients of two 8 x 8 blocks side by side, with what the
// entropy coder needs of them:
// - rows: row r of the first block in rows[r][0..7], of the second in
//   rows[r][8..15], natural order;
// - magnitudes: the same layout, c for c >= 0 and c - 1 for c < 0, whose low
//   `size` bits are the coded magnitude bits;
// - sizes: per block in zig-zag order, the bit count of |c| (0 for 0);
// - nonZero: per block a bit for each non-zero coefficient, bit k for
//   zig-zag position k.
struct CoefficientPair {
    alignas(32) std::int16_t rows[8][16];
    alignas(32) std::int16_t magnitudes[8][16];
    alignas(32) std::uint8_t sizes[2][64];
    std::uint64_t nonZero[2];
};

// Offset in CoefficientPair::rows (read as one array) of each zig-zag
// position of the first block; the second block's are 8 further.
inline constexpr std::array<std::uint8_t, 64> kZigZagToPairOffset = [] {
    std::array<std::uint8_t, 64> offsets{};
    for (int k = 0; k < 64; ++k) {
        const int natural = jpeg::kZigZagToNatural[k];
        offsets[k] = static_cast<std::uint8_t>(natural / 8 * 16 + natural % 8);
    }
    return offsets;
}();

// Two blocks of level-shifted samples (-128..127) side by side, row r at
// samples + r x stride: the AAN forward DCT, quantisation as
// (|c| + d / 2) / d with the sign of c and AC magnitudes limited to 1023.
// The AVX2 and the plain versions give the same coefficients.
using PairTransform = void (*)(const std::int16_t* samples, std::size_t stride,
                               const QuantisationTable& table, CoefficientPair& out);

// The version for this processor and the chosen code path.
PairTransform pairTransform();

inline void transformPair(const std::int16_t* samples, std::size_t stride,
                          const QuantisationTable& table, CoefficientPair& out) {
    pairTransform()(samples, stride, table, out);
}

}  // namespace ambro::media
