#pragma once

#include <array>
#include <cstdint>

namespace ambro::media {

// The quantisation of one component for the AAN DCT's outputs, by natural
// (row-major) position: half of each divisor, and its reciprocal.
struct QuantisationTable {
    alignas(32) std::array<std::int32_t, 64> halves{};
    alignas(32) std::array<float, 64> reciprocals{};
};

// y / divisor as the encoder computes it: the float product (y + 0.5) x
// (1 / divisor), truncated. For y below 2^17 and divisors up to 4096 it lies
// within 2^-6 / divisor of (y + 0.5) / divisor, which is never nearer than
// 0.5 / divisor to an integer, so truncation gives the integer quotient.
inline std::int32_t quantisationQuotient(std::int32_t y, float reciprocal) {
    return static_cast<std::int32_t>((static_cast<float>(y) + 0.5f) * reciprocal);
}

// The largest AC magnitude the Huffman tables can code.
inline constexpr std::int32_t kMaxAcCoefficient = 1023;

// One 8 x 8 block of level-shifted samples in natural order (clobbered):
// the AAN forward DCT, quantisation as (|c| + d / 2) / d with the sign of c
// and AC magnitudes limited to 1023, then the coefficients in zig-zag order.
// Returns a bit for each non-zero coefficient, bit k for zig-zag position k.
// The AVX2 and the plain versions give the same coefficients.
std::uint64_t transformBlock(std::int32_t* block, const QuantisationTable& table,
                             std::int32_t* zigZag);

}  // namespace ambro::media
