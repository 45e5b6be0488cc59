#include "media/BlockTransform.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "media/CodePath.h"
#include "media/ForwardDct.h"
#include "media/JpegTables.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define AMBRO_HAVE_AVX2_TRANSFORM 1
#endif

namespace ambro::media {

QuotientFactors quotientFactors(std::int32_t divisor) {
    // With l = ceil(log2 d) and m = ceil(2^(14 + l) / d) = (2^(14 + l) + e) / d,
    // e < d <= 2^l: y m / 2^(14 + l) = y / d + y e / (d 2^(14 + l)), and the
    // second term stays below 1 / d for y < 2^14, so the floor is y / d's.
    // m <= 2^15 because d > 2^(l - 1).
    const int l = std::bit_width(static_cast<std::uint32_t>(divisor - 1));
    const std::uint32_t multiplier = ((1u << (14 + l)) + divisor - 1) / divisor;
    return {static_cast<std::uint16_t>(multiplier), static_cast<std::uint16_t>(1u << (15 - l))};
}

QuantisationTable makeQuantisationTable(const std::array<std::uint8_t, 64>& values) {
    QuantisationTable table;
    for (int i = 0; i < 64; ++i) {
        const std::int32_t divisor = (values[i] * jpeg::kAanScales[i] + 1024) >> 11;
        table.halves[i] = divisor >> 1;
        table.reciprocals[i] = 1.0f / static_cast<float>(divisor);
        const QuotientFactors factors = quotientFactors(divisor);
        for (const int half : {0, 8}) {
            table.pairedHalves[i / 8][half + i % 8] = static_cast<std::int16_t>(divisor >> 1);
            table.pairedMultipliers[i / 8][half + i % 8] = factors.multiplier;
            table.pairedScales[i / 8][half + i % 8] = factors.scale;
        }
    }
    return table;
}

namespace {

// The AC magnitude limit by natural position; the DC coefficient has none.
constexpr std::array<std::int32_t, 64> kMagnitudeLimits = [] {
    std::array<std::int32_t, 64> limits{};
    limits.fill(kMaxAcCoefficient);
    limits[0] = 0x7FFFFFFF;
    return limits;
}();

// The bit count of a magnitude below 2^24, read from the exponent of its
// float: exact, and free of branches and of instructions the baseline
// processor lacks, so that the loop around it vectorises.
inline std::uint8_t bitWidthOf(std::int32_t magnitude) {
    const auto bits = std::bit_cast<std::uint32_t>(static_cast<float>(magnitude));
    return static_cast<std::uint8_t>(magnitude == 0 ? 0 : static_cast<int>(bits >> 23) - 126);
}

// A bit for each non-zero byte of eight sizes (each below 128): bit 7 of
// each byte marks it, and the multiplication gathers the eight marks into
// the top byte.
inline std::uint64_t nonZeroBytes(const std::uint8_t* sizes) {
    std::uint64_t word;
    std::memcpy(&word, sizes, sizeof word);
    const std::uint64_t marks = ((word + 0x7F7F7F7F7F7F7F7FULL) | word) & 0x8080808080808080ULL;
    return ((marks >> 7) * 0x0102040810204080ULL) >> 56;
}

// One block of a pair, b = 0 or 1; the loops over the 64 coefficients have
// no branches, so the compiler vectorises them.
void transformBlockPlain(const std::int16_t* samples, std::size_t stride, int b,
                         const QuantisationTable& table, CoefficientPair& out) {
    std::int32_t block[64];
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) block[8 * r + c] = samples[r * stride + 8 * b + c];
    }
    forwardDctAan(block);
    std::int32_t coefficients[64];
    std::uint8_t sizes[64];
    for (int i = 0; i < 64; ++i) {
        const std::int32_t value = block[i];
        const std::int32_t magnitude =
            std::min(quantisationQuotient(std::abs(value) + table.halves[i], table.reciprocals[i]),
                     kMagnitudeLimits[i]);
        coefficients[i] = value < 0 ? -magnitude : magnitude;
        sizes[i] = bitWidthOf(magnitude);
    }
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) {
            const std::int32_t coefficient = coefficients[8 * r + c];
            out.rows[r][8 * b + c] = static_cast<std::int16_t>(coefficient);
            out.magnitudes[r][8 * b + c] =
                static_cast<std::int16_t>(coefficient < 0 ? coefficient - 1 : coefficient);
        }
    }
    for (int k = 0; k < 64; ++k) out.sizes[b][k] = sizes[jpeg::kZigZagToNatural[k]];
    std::uint64_t nonZero = 0;
    for (int k = 0; k < 64; k += 8) nonZero |= nonZeroBytes(out.sizes[b] + k) << k;
    out.nonZero[b] = nonZero;
}

void transformPairPlain(const std::int16_t* samples, std::size_t stride,
                        const QuantisationTable& table, CoefficientPair& out) {
    transformBlockPlain(samples, stride, 0, table, out);
    transformBlockPlain(samples, stride, 1, table, out);
}

#ifdef AMBRO_HAVE_AVX2_TRANSFORM

// The vectorised transform works on 16-bit lanes, two blocks at once (one in
// each 128-bit half). Every value it forms fits: for samples in -128..127 the
// largest magnitude of any sum or difference in either pass is below 13000,
// and each product (v x c) >> 8 of the plain DCT is formed as the high half
// of (v << k) x (c << (8 - k)), which is the same integer as long as v << k
// fits 16 bits; k is chosen per multiplier so that it does (the inputs of the
// multipliers stay below 10400, and below 5200 where k is 2).

#define AMBRO_AVX2 __attribute__((target("avx2"), always_inline)) inline

constexpr std::int16_t kMul0707 = kDctC0707 << 7;  // k = 1
constexpr std::int16_t kMul0382 = kDctC0382 << 8;  // k = 0
constexpr std::int16_t kMul0541 = kDctC0541 << 7;  // k = 1
constexpr std::int16_t kMul1306 = kDctC1306 << 6;  // k = 2

AMBRO_AVX2 __m256i twice(__m256i v) { return _mm256_add_epi16(v, v); }

template <typename Word>
AMBRO_AVX2 __m256i loadRow(const Word* row) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(row));
}

// Eight 1-D transforms in each half, lane j being sequence v[0][j] .. v[7][j].
AMBRO_AVX2 void transformLanes(__m256i* v) {
    const __m256i tmp0 = _mm256_add_epi16(v[0], v[7]);
    const __m256i tmp7 = _mm256_sub_epi16(v[0], v[7]);
    const __m256i tmp1 = _mm256_add_epi16(v[1], v[6]);
    const __m256i tmp6 = _mm256_sub_epi16(v[1], v[6]);
    const __m256i tmp2 = _mm256_add_epi16(v[2], v[5]);
    const __m256i tmp5 = _mm256_sub_epi16(v[2], v[5]);
    const __m256i tmp3 = _mm256_add_epi16(v[3], v[4]);
    const __m256i tmp4 = _mm256_sub_epi16(v[3], v[4]);

    const __m256i tmp10 = _mm256_add_epi16(tmp0, tmp3);
    const __m256i tmp13 = _mm256_sub_epi16(tmp0, tmp3);
    const __m256i tmp11 = _mm256_add_epi16(tmp1, tmp2);
    const __m256i tmp12 = _mm256_sub_epi16(tmp1, tmp2);
    v[0] = _mm256_add_epi16(tmp10, tmp11);
    v[4] = _mm256_sub_epi16(tmp10, tmp11);
    const __m256i z1 =
        _mm256_mulhi_epi16(twice(_mm256_add_epi16(tmp12, tmp13)), _mm256_set1_epi16(kMul0707));
    v[2] = _mm256_add_epi16(tmp13, z1);
    v[6] = _mm256_sub_epi16(tmp13, z1);

    const __m256i odd10 = _mm256_add_epi16(tmp4, tmp5);
    const __m256i odd11 = _mm256_add_epi16(tmp5, tmp6);
    const __m256i odd12 = _mm256_add_epi16(tmp6, tmp7);
    const __m256i z5 =
        _mm256_mulhi_epi16(_mm256_sub_epi16(odd10, odd12), _mm256_set1_epi16(kMul0382));
    const __m256i z2 =
        _mm256_add_epi16(_mm256_mulhi_epi16(twice(odd10), _mm256_set1_epi16(kMul0541)), z5);
    const __m256i z4 = _mm256_add_epi16(
        _mm256_mulhi_epi16(_mm256_slli_epi16(odd12, 2), _mm256_set1_epi16(kMul1306)), z5);
    const __m256i z3 = _mm256_mulhi_epi16(twice(odd11), _mm256_set1_epi16(kMul0707));
    const __m256i z11 = _mm256_add_epi16(tmp7, z3);
    const __m256i z13 = _mm256_sub_epi16(tmp7, z3);
    v[5] = _mm256_add_epi16(z13, z2);
    v[3] = _mm256_sub_epi16(z13, z2);
    v[1] = _mm256_add_epi16(z11, z4);
    v[7] = _mm256_sub_epi16(z11, z4);
}

// Transposes the 8 x 8 block in each half.
AMBRO_AVX2 void transpose(__m256i* v) {
    const __m256i t0 = _mm256_unpacklo_epi16(v[0], v[1]);
    const __m256i t1 = _mm256_unpackhi_epi16(v[0], v[1]);
    const __m256i t2 = _mm256_unpacklo_epi16(v[2], v[3]);
    const __m256i t3 = _mm256_unpackhi_epi16(v[2], v[3]);
    const __m256i t4 = _mm256_unpacklo_epi16(v[4], v[5]);
    const __m256i t5 = _mm256_unpackhi_epi16(v[4], v[5]);
    const __m256i t6 = _mm256_unpacklo_epi16(v[6], v[7]);
    const __m256i t7 = _mm256_unpackhi_epi16(v[6], v[7]);
    const __m256i u0 = _mm256_unpacklo_epi32(t0, t2);
    const __m256i u1 = _mm256_unpackhi_epi32(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi32(t1, t3);
    const __m256i u3 = _mm256_unpackhi_epi32(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi32(t4, t6);
    const __m256i u5 = _mm256_unpackhi_epi32(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi32(t5, t7);
    const __m256i u7 = _mm256_unpackhi_epi32(t5, t7);
    v[0] = _mm256_unpacklo_epi64(u0, u4);
    v[1] = _mm256_unpackhi_epi64(u0, u4);
    v[2] = _mm256_unpacklo_epi64(u1, u5);
    v[3] = _mm256_unpackhi_epi64(u1, u5);
    v[4] = _mm256_unpacklo_epi64(u2, u6);
    v[5] = _mm256_unpackhi_epi64(u2, u6);
    v[6] = _mm256_unpacklo_epi64(u3, u7);
    v[7] = _mm256_unpackhi_epi64(u3, u7);
}

// Byte shuffles that gather, from the packed rows 2j and 2j + 1 of a block,
// the bytes of zig-zag positions 16i .. 16i + 15 (0x80: from another pair),
// written twice for the two halves.
struct alignas(32) ZigZagGathers {
    std::uint8_t bytes[4][4][32];
};
constexpr ZigZagGathers kZigZagGathers = [] {
    ZigZagGathers gathers{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            for (int b = 0; b < 32; ++b) {
                const int natural = jpeg::kZigZagToNatural[16 * i + b % 16];
                gathers.bytes[i][j][b] =
                    natural / 16 == j ? static_cast<std::uint8_t>(natural % 16) : 0x80;
            }
        }
    }
    return gathers;
}();

// Bit counts of nibbles, and of nibbles 4 and 8 bits up, written twice for
// the two halves.
struct alignas(32) NibbleWidths {
    std::uint8_t bytes[3][32];
};
constexpr NibbleWidths kNibbleWidths = [] {
    NibbleWidths widths{};
    for (int shift = 0; shift < 3; ++shift) {
        for (int b = 0; b < 32; ++b) {
            const int nibble = b % 16;
            widths.bytes[shift][b] =
                nibble == 0
                    ? 0
                    : static_cast<std::uint8_t>(std::bit_width(unsigned(nibble)) + 4 * shift);
        }
    }
    return widths;
}();

AMBRO_AVX2 __m256i nibbleWidth(__m256i nibbles, int shift) {
    return _mm256_shuffle_epi8(
        _mm256_load_si256(reinterpret_cast<const __m256i*>(kNibbleWidths.bytes[shift])), nibbles);
}

// The bit count of each 16-bit magnitude below 4096: the largest of its
// three nibbles' widths, each counted from its place.
AMBRO_AVX2 __m256i bitWidths(__m256i magnitude) {
    const __m256i nibble = _mm256_set1_epi16(0x000F);
    const __m256i low = nibbleWidth(_mm256_and_si256(magnitude, nibble), 0);
    const __m256i middle =
        nibbleWidth(_mm256_and_si256(_mm256_srli_epi16(magnitude, 4), nibble), 1);
    const __m256i high = nibbleWidth(_mm256_and_si256(_mm256_srli_epi16(magnitude, 8), nibble), 2);
    return _mm256_max_epu8(_mm256_max_epu8(low, middle), high);
}

// One block's 64 sizes in zig-zag order, and its non-zero map.
AMBRO_AVX2 void storeBlockSizes(__m256i first, __m256i second, CoefficientPair& out, int b) {
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.sizes[b]), first);
    _mm256_store_si256(reinterpret_cast<__m256i*>(out.sizes[b] + 32), second);
    const __m256i zero = _mm256_setzero_si256();
    const auto low =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(first, zero)));
    const auto high =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(second, zero)));
    out.nonZero[b] = ~(static_cast<std::uint64_t>(high) << 32 | low);
}

// The sizes and non-zero maps of both blocks from their rows of sizes: the
// rows are packed to bytes, put into zig-zag order by byte shuffles and
// stored; a size is 0 exactly where the coefficient is.
AMBRO_AVX2 void storeZigZagSizes(const __m256i* sizes, CoefficientPair& out) {
    __m256i packed[4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) packed[j] = _mm256_packus_epi16(sizes[2 * j], sizes[2 * j + 1]);
    __m256i gathered[4];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        gathered[i] = _mm256_setzero_si256();
#pragma GCC unroll 4
        for (int j = 0; j < 4; ++j) {
            const __m256i shuffle =
                _mm256_load_si256(reinterpret_cast<const __m256i*>(kZigZagGathers.bytes[i][j]));
            gathered[i] = _mm256_or_si256(gathered[i], _mm256_shuffle_epi8(packed[j], shuffle));
        }
    }
    // The first block's halves, then the second's.
    storeBlockSizes(_mm256_permute2x128_si256(gathered[0], gathered[1], 0x20),
                    _mm256_permute2x128_si256(gathered[2], gathered[3], 0x20), out, 0);
    storeBlockSizes(_mm256_permute2x128_si256(gathered[0], gathered[1], 0x31),
                    _mm256_permute2x128_si256(gathered[2], gathered[3], 0x31), out, 1);
}

__attribute__((target("avx2"))) void transformPairAvx2(const std::int16_t* samples,
                                                       std::size_t stride,
                                                       const QuantisationTable& table,
                                                       CoefficientPair& out) {
    __m256i v[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        v[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(samples + i * stride));
    }
    transpose(v);
    transformLanes(v);  // lane j: row j of each block
    transpose(v);
    transformLanes(v);  // lane j: column j

    // |c| + d / 2 stays below 2^14 (coefficients below 13000, divisors
    // below 4096), where quantisationQuotient16 is exact.
    const __m256i acLimit = _mm256_set1_epi16(kMaxAcCoefficient);
    // The DC coefficients (row 0, lane 0 of each half) are not limited.
    const __m256i firstRowLimit = _mm256_setr_epi16(
        0x7FFF, kMaxAcCoefficient, kMaxAcCoefficient, kMaxAcCoefficient, kMaxAcCoefficient,
        kMaxAcCoefficient, kMaxAcCoefficient, kMaxAcCoefficient, 0x7FFF, kMaxAcCoefficient,
        kMaxAcCoefficient, kMaxAcCoefficient, kMaxAcCoefficient, kMaxAcCoefficient,
        kMaxAcCoefficient, kMaxAcCoefficient);
    __m256i sizes[8];
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
        const __m256i y = _mm256_add_epi16(_mm256_abs_epi16(v[i]), loadRow(table.pairedHalves[i]));
        const __m256i t =
            _mm256_mulhi_epu16(_mm256_slli_epi16(y, 2), loadRow(table.pairedMultipliers[i]));
        const __m256i magnitude = _mm256_mulhi_epu16(twice(t), loadRow(table.pairedScales[i]));
        const __m256i limited = _mm256_min_epi16(magnitude, i == 0 ? firstRowLimit : acLimit);
        const __m256i coefficient = _mm256_sign_epi16(limited, v[i]);
        _mm256_store_si256(reinterpret_cast<__m256i*>(out.rows[i]), coefficient);
        _mm256_store_si256(reinterpret_cast<__m256i*>(out.magnitudes[i]),
                           _mm256_add_epi16(coefficient, _mm256_srai_epi16(coefficient, 15)));
        sizes[i] = bitWidths(limited);
    }
    storeZigZagSizes(sizes, out);
}

#endif

}  // namespace

PairTransform pairTransform() {
#ifdef AMBRO_HAVE_AVX2_TRANSFORM
    if (avx2CodeEnabled()) return transformPairAvx2;
#endif
    return transformPairPlain;
}

}  // namespace ambro::media
