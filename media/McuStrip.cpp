#include "media/McuStrip.h"

#include <algorithm>
#include <array>

#include "media/CodePath.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define AMBRO_HAVE_AVX2_STRIP 1
#endif

namespace ambro::media {

namespace {

constexpr int kMcuSize = McuStrip::kMcuSize;

// The JFIF products in 16 fractional bits: FIX(x) = x * 65536 + 0.5 truncated.
constexpr std::int32_t kYr = 19595;    // FIX(0.29900)
constexpr std::int32_t kYg = 38470;    // FIX(0.58700)
constexpr std::int32_t kYb = 7471;     // FIX(0.11400)
constexpr std::int32_t kCbR = 11059;   // FIX(0.16874)
constexpr std::int32_t kCbG = 21709;   // FIX(0.33126)
constexpr std::int32_t kHalf = 32768;  // FIX(0.5)
constexpr std::int32_t kCrG = 27439;   // FIX(0.41869)
constexpr std::int32_t kCrB = 5329;    // FIX(0.08131)
// The rounding terms with the level shift of 128 << 16 taken out:
// 32768 - 8388608 for luminance, 8421375 - 8388608 for chroma.
constexpr std::int32_t kShiftedLumaRounding = (1 << 15) - (128 << 16);
constexpr std::int32_t kShiftedChromaRounding = (1 << 15) - 1;

inline std::int16_t lumaSample(const std::uint8_t* pixel) {
    return static_cast<std::int16_t>(
        (kYr * pixel[2] + kYg * pixel[1] + kYb * pixel[0] + kShiftedLumaRounding) >> 16);
}

inline std::int16_t blueDifferenceSample(const std::uint8_t* pixel) {
    return static_cast<std::int16_t>(
        (-kCbR * pixel[2] - kCbG * pixel[1] + kHalf * pixel[0] + kShiftedChromaRounding) >> 16);
}

inline std::int16_t redDifferenceSample(const std::uint8_t* pixel) {
    return static_cast<std::int16_t>(
        (kHalf * pixel[2] - kCrG * pixel[1] - kCrB * pixel[0] + kShiftedChromaRounding) >> 16);
}

// Columns from .. to - 1 of strip row `r`, one pixel at a time; columns at
// or past `pixels` take the last pixel's values.
void fillColumnsPlain(const std::uint8_t* row, int r, int from, int to, int pixels,
                      McuStrip& strip) {
    std::int16_t* luma = strip.luma[r];
    for (int c = from; c < to; ++c) luma[c] = lumaSample(row + 3 * std::min(c, pixels - 1));
    if (r % 2 != 0) return;
    std::int16_t* chroma = strip.chroma[r / 2];
    for (int c = from + from % 2; c < to; c += 2) {
        const std::uint8_t* pixel = row + 3 * std::min(c, pixels - 1);
        const int at = c / kMcuSize * kMcuSize + c % kMcuSize / 2;
        chroma[at] = blueDifferenceSample(pixel);
        chroma[at + kMcuSize / 2] = redDifferenceSample(pixel);
    }
}

// The 16 columns of one MCU in one row, all inside the picture: loops of a
// fixed count with no clamping, which the compiler vectorises.
void fillMcuRowPlain(const std::uint8_t* pixels, std::int16_t* luma, std::int16_t* chroma) {
    for (int c = 0; c < kMcuSize; ++c) luma[c] = lumaSample(pixels + 3 * c);
    if (chroma == nullptr) return;
    for (int j = 0; j < kMcuSize / 2; ++j) {
        chroma[j] = blueDifferenceSample(pixels + 6 * j);
        chroma[kMcuSize / 2 + j] = redDifferenceSample(pixels + 6 * j);
    }
}

void fillStripPlain(const std::uint8_t* const* rows, int pixels, int mcus, McuStrip& strip) {
    const int inside = std::min(pixels / kMcuSize, mcus);
    for (int r = 0; r < kMcuSize; ++r) {
        std::int16_t* chroma = r % 2 == 0 ? strip.chroma[r / 2] : nullptr;
        for (int m = 0; m < inside; ++m) {
            fillMcuRowPlain(rows[r] + 3 * kMcuSize * m, strip.luma[r] + kMcuSize * m,
                            chroma != nullptr ? chroma + kMcuSize * m : nullptr);
        }
        if (inside < mcus) {
            fillColumnsPlain(rows[r], r, inside * kMcuSize, mcus * kMcuSize, pixels, strip);
        }
    }
}

#ifdef AMBRO_HAVE_AVX2_STRIP

#define AMBRO_AVX2 __attribute__((target("avx2"), always_inline)) inline

// Byte shuffles that turn four pixels (12 bytes at `offset` of a 16-byte
// half) into four 32-bit lanes of 16-bit pairs (first, second component),
// components numbered as in memory: 0 blue, 1 green, 2 red. With `even`,
// only pixels 0 and 2 of the four, into lanes `lane` and `lane` + 1.
constexpr std::array<std::uint8_t, 16> pairShuffle(int offset, int first, int second) {
    std::array<std::uint8_t, 16> shuffle{};
    for (int p = 0; p < 4; ++p) {
        shuffle[4 * p] = static_cast<std::uint8_t>(offset + 3 * p + first);
        shuffle[4 * p + 1] = 0x80;
        shuffle[4 * p + 2] = static_cast<std::uint8_t>(offset + 3 * p + second);
        shuffle[4 * p + 3] = 0x80;
    }
    return shuffle;
}

constexpr std::array<std::uint8_t, 16> evenPairShuffle(int offset, int first, int second,
                                                       int lane) {
    std::array<std::uint8_t, 16> shuffle{};
    shuffle.fill(0x80);
    for (int p = 0; p < 2; ++p) {
        shuffle[4 * (lane + p)] = static_cast<std::uint8_t>(offset + 6 * p + first);
        shuffle[4 * (lane + p) + 2] = static_cast<std::uint8_t>(offset + 6 * p + second);
    }
    return shuffle;
}

// Two 16-byte halves: one shuffle for the low half, one for the high one.
struct alignas(32) HalfShuffles {
    std::array<std::uint8_t, 16> low;
    std::array<std::uint8_t, 16> high;
};

// Pixels 0-3 | 4-7 of a group are loaded from bytes 0 and 12 (at offset 0 of
// each half), pixels 8-11 | 12-15 from bytes 24 and 32 (offsets 0 and 4), so
// that no byte past the group's 48 is read.
constexpr HalfShuffles kRedGreenFirst{pairShuffle(0, 2, 1), pairShuffle(0, 2, 1)};
constexpr HalfShuffles kBlueGreenFirst{pairShuffle(0, 0, 1), pairShuffle(0, 0, 1)};
constexpr HalfShuffles kRedGreenSecond{pairShuffle(0, 2, 1), pairShuffle(4, 2, 1)};
constexpr HalfShuffles kBlueGreenSecond{pairShuffle(0, 0, 1), pairShuffle(4, 0, 1)};
// The even pixels: 0, 2 | 4, 6 into lanes 0, 1 and 8, 10 | 12, 14 into lanes 2, 3.
constexpr HalfShuffles kEvenRedGreenFirst{evenPairShuffle(0, 2, 1, 0), evenPairShuffle(0, 2, 1, 0)};
constexpr HalfShuffles kEvenBlueGreenFirst{evenPairShuffle(0, 0, 1, 0),
                                           evenPairShuffle(0, 0, 1, 0)};
constexpr HalfShuffles kEvenRedGreenSecond{evenPairShuffle(0, 2, 1, 2),
                                           evenPairShuffle(4, 2, 1, 2)};
constexpr HalfShuffles kEvenBlueGreenSecond{evenPairShuffle(0, 0, 1, 2),
                                            evenPairShuffle(4, 0, 1, 2)};

AMBRO_AVX2 __m256i load(const HalfShuffles& shuffles) {
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(&shuffles));
}

AMBRO_AVX2 __m256i pairOf(std::int32_t first, std::int32_t second) {
    return _mm256_set1_epi32(static_cast<std::int32_t>(
        (static_cast<std::uint32_t>(second) << 16) | (static_cast<std::uint32_t>(first) & 0xFFFF)));
}

AMBRO_AVX2 __m256i loadHalves(const std::uint8_t* low, const std::uint8_t* high) {
    return _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(high),
                               reinterpret_cast<const __m128i*>(low));
}

// Y of the eight pixels whose (red, green) and (blue, green) pairs are given;
// 38470 G is formed as 22086 G + 16384 G so that every factor fits 16 bits.
AMBRO_AVX2 __m256i lumaOf(__m256i redGreen, __m256i blueGreen) {
    const __m256i sum = _mm256_add_epi32(_mm256_madd_epi16(redGreen, pairOf(kYr, kYg - 16384)),
                                         _mm256_madd_epi16(blueGreen, pairOf(kYb, 16384)));
    return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(kShiftedLumaRounding)), 16);
}

// 32768 x a component is formed as the difference to -32768 x it.
AMBRO_AVX2 __m256i chromaOf(__m256i mixed, __m256i mixedFactors, __m256i halved) {
    const __m256i sum = _mm256_sub_epi32(_mm256_madd_epi16(mixed, mixedFactors),
                                         _mm256_madd_epi16(halved, pairOf(-kHalf, 0)));
    return _mm256_srai_epi32(_mm256_add_epi32(sum, _mm256_set1_epi32(kShiftedChromaRounding)), 16);
}

// 16 pixels of a row that lie in the picture: their luminance, and on even
// rows the chroma of the even ones into this MCU's 8 Cb and 8 Cr.
AMBRO_AVX2 void fillGroupAvx2(const std::uint8_t* pixels, std::int16_t* luma,
                              std::int16_t* chroma) {
    const __m256i first = loadHalves(pixels, pixels + 12);
    const __m256i second = loadHalves(pixels + 24, pixels + 32);
    const __m256i lumaFirst = lumaOf(_mm256_shuffle_epi8(first, load(kRedGreenFirst)),
                                     _mm256_shuffle_epi8(first, load(kBlueGreenFirst)));
    const __m256i lumaSecond = lumaOf(_mm256_shuffle_epi8(second, load(kRedGreenSecond)),
                                      _mm256_shuffle_epi8(second, load(kBlueGreenSecond)));
    // Packing interleaves the halves: pixels 0-3, 8-11 | 4-7, 12-15.
    const __m256i lumaPacked = _mm256_packs_epi32(lumaFirst, lumaSecond);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(luma),
                        _mm256_permute4x64_epi64(lumaPacked, 0xD8));
    if (chroma == nullptr) return;

    // Even pixels 0, 2, 8, 10 | 4, 6, 12, 14.
    const __m256i redGreen =
        _mm256_or_si256(_mm256_shuffle_epi8(first, load(kEvenRedGreenFirst)),
                        _mm256_shuffle_epi8(second, load(kEvenRedGreenSecond)));
    const __m256i blueGreen =
        _mm256_or_si256(_mm256_shuffle_epi8(first, load(kEvenBlueGreenFirst)),
                        _mm256_shuffle_epi8(second, load(kEvenBlueGreenSecond)));
    const __m256i blueDifference = chromaOf(redGreen, pairOf(-kCbR, -kCbG), blueGreen);
    const __m256i redDifference = chromaOf(blueGreen, pairOf(-kCrB, -kCrG), redGreen);
    // Words Cb 0 2 8 10, Cr 0 2 8 10 | Cb 4 6 12 14, Cr 4 6 12 14; as pairs
    // of words reordered to Cb 0 .. 14, Cr 0 .. 14.
    const __m256i packed = _mm256_packs_epi32(blueDifference, redDifference);
    _mm256_storeu_si256(
        reinterpret_cast<__m256i*>(chroma),
        _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7)));
}

__attribute__((target("avx2"))) void fillStripAvx2(const std::uint8_t* const* rows, int pixels,
                                                   int mcus, McuStrip& strip) {
    const int groups = std::min(pixels / kMcuSize, mcus);
    for (int r = 0; r < kMcuSize; ++r) {
        const std::uint8_t* row = rows[r];
        std::int16_t* chroma = r % 2 == 0 ? strip.chroma[r / 2] : nullptr;
        for (int g = 0; g < groups; ++g) {
            fillGroupAvx2(row + 3 * kMcuSize * g, strip.luma[r] + kMcuSize * g,
                          chroma != nullptr ? chroma + kMcuSize * g : nullptr);
        }
        if (groups < mcus) {
            fillColumnsPlain(row, r, groups * kMcuSize, mcus * kMcuSize, pixels, strip);
        }
    }
}

#endif

}  // namespace

StripFiller stripFiller() {
#ifdef AMBRO_HAVE_AVX2_STRIP
    if (avx2CodeEnabled()) return fillStripAvx2;
#endif
    return fillStripPlain;
}

}  // namespace ambro::media
