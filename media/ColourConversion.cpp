#include "media/ColourConversion.h"

#include <algorithm>
#include <array>

#include "media/CodePath.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define AMBRO_HAVE_AVX2_CONVERSION 1
#endif

namespace ambro::media {

namespace {

// 6 fractional bits: the library's vectorised conversion.
constexpr int kFastShift = 6;
constexpr int kFastLuma = 74;
constexpr int kFastBlueU = 129;
constexpr int kFastGreenU = 25;
constexpr int kFastGreenV = 52;
constexpr int kFastRedV = 102;

// 13 fractional bits: the library's plain conversion.
constexpr int kPreciseShift = 13;
constexpr int kPreciseLuma = 9535;
constexpr int kPreciseBlueU = 16531;
constexpr int kPreciseGreenU = 3203;
constexpr int kPreciseGreenV = 6660;
constexpr int kPreciseRedV = 13074;

constexpr int kLumaOffset = 16;
constexpr int kChromaOffset = 128;
constexpr int kGroup = 16;  // pixels of one vectorised step

std::uint8_t clampByte(int value) { return static_cast<std::uint8_t>(std::clamp(value, 0, 255)); }

struct Components {
    int blue, green, red;
};

inline Components fastComponents(int y, int u, int v) {
    const int luma = (y - kLumaOffset) * kFastLuma;
    u -= kChromaOffset;
    v -= kChromaOffset;
    return {(luma + u * kFastBlueU) >> kFastShift,
            (luma - u * kFastGreenU - v * kFastGreenV) >> kFastShift,
            (luma + v * kFastRedV) >> kFastShift};
}

inline Components preciseComponents(int y, int u, int v) {
    const int luma = (y - kLumaOffset) * kPreciseLuma;
    u -= kChromaOffset;
    v -= kChromaOffset;
    return {(luma + u * kPreciseBlueU) >> kPreciseShift,
            (luma - u * kPreciseGreenU - v * kPreciseGreenV) >> kPreciseShift,
            (luma + v * kPreciseRedV) >> kPreciseShift};
}

inline void storeBgr(std::uint8_t* pixel, const Components& c) {
    pixel[0] = clampByte(c.blue);
    pixel[1] = clampByte(c.green);
    pixel[2] = clampByte(c.red);
}

// One output row with the chroma row it shares with its partner.
struct RowJob {
    const std::uint8_t* luma;
    const std::uint8_t* u;
    const std::uint8_t* v;
    std::uint8_t* out;
};

void fastColumnsPlain(const RowJob& row, int from, int to) {
    for (int x = from; x < to; ++x) {
        storeBgr(row.out + 3 * x, fastComponents(row.luma[x], row.u[x / 2], row.v[x / 2]));
    }
}

void preciseBgrColumns(const RowJob& row, int from, int to) {
    for (int x = from; x < to; ++x) {
        storeBgr(row.out + 3 * x, preciseComponents(row.luma[x], row.u[x / 2], row.v[x / 2]));
    }
}

void rgb555Row(const RowJob& row, int columns) {
    int blue = 0;
    int green = 0;
    int red = 0;
    for (int x = 0; x < columns; ++x) {
        const Components c = preciseComponents(row.luma[x], row.u[x / 2], row.v[x / 2]);
        // The low three bits that 5-bit components drop go on to the next pixel.
        blue = (blue & 7) + c.blue;
        green = (green & 7) + c.green;
        red = (red & 7) + c.red;
        const unsigned word = ((clampByte(red) << 7) & 0x7C00u) |
                              ((clampByte(green) << 2) & 0x03E0u) | (clampByte(blue) >> 3);
        row.out[2 * x] = static_cast<std::uint8_t>(word);
        row.out[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
    }
}

#ifdef AMBRO_HAVE_AVX2_CONVERSION

// pshufb masks that spread 16 bytes of one component over 48 bytes of BGR.
constexpr std::array<std::array<std::uint8_t, 16>, 9> kSpreadMasks = [] {
    std::array<std::array<std::uint8_t, 16>, 9> masks{};
    for (int part = 0; part < 3; ++part) {
        for (int component = 0; component < 3; ++component) {
            for (int j = 0; j < 16; ++j) {
                const int position = 16 * part + j;
                masks[part * 3 + component][j] =
                    position % 3 == component ? static_cast<std::uint8_t>(position / 3) : 0x80;
            }
        }
    }
    return masks;
}();

#define AMBRO_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

// The nine masks, loaded once per row pair.
struct SpreadMasks {
    __m128i masks[9];
};

AMBRO_AVX2_INLINE SpreadMasks loadSpreadMasks() {
    SpreadMasks loaded;
    for (int i = 0; i < 9; ++i) {
        loaded.masks[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kSpreadMasks[i].data()));
    }
    return loaded;
}

struct ChromaTerms {
    __m256i blue;
    __m256i green;
    __m256i red;
};

// 16 pixels of one row; the chroma terms are those of its 8 chroma samples,
// each repeated for two columns.
AMBRO_AVX2_INLINE void fastGroupAvx2(const std::uint8_t* luma, const ChromaTerms& chroma,
                                     const SpreadMasks& spread, std::uint8_t* out) {
    const __m256i y = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(luma)));
    const __m256i scaled = _mm256_mullo_epi16(_mm256_sub_epi16(y, _mm256_set1_epi16(kLumaOffset)),
                                              _mm256_set1_epi16(kFastLuma));
    // Only blue can pass 16 bits; saturating there still clamps to 255.
    const __m256i blue = _mm256_srai_epi16(_mm256_adds_epi16(scaled, chroma.blue), kFastShift);
    const __m256i green = _mm256_srai_epi16(_mm256_sub_epi16(scaled, chroma.green), kFastShift);
    const __m256i red = _mm256_srai_epi16(_mm256_adds_epi16(scaled, chroma.red), kFastShift);
    const __m256i blueGreen = _mm256_permute4x64_epi64(_mm256_packus_epi16(blue, green), 0xD8);
    const __m256i redRed = _mm256_permute4x64_epi64(_mm256_packus_epi16(red, red), 0xD8);
    const __m128i b = _mm256_castsi256_si128(blueGreen);
    const __m128i g = _mm256_extracti128_si256(blueGreen, 1);
    const __m128i r = _mm256_castsi256_si128(redRed);
    for (int part = 0; part < 3; ++part) {
        const __m128i bytes = _mm_or_si128(
            _mm_or_si128(_mm_shuffle_epi8(b, spread.masks[part * 3]),
                         _mm_shuffle_epi8(g, spread.masks[part * 3 + 1])),
            _mm_shuffle_epi8(r, spread.masks[part * 3 + 2]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16 * part), bytes);
    }
}

AMBRO_AVX2_INLINE ChromaTerms chromaTermsAvx2(const std::uint8_t* u, const std::uint8_t* v) {
    const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u));
    const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v));
    const __m256i offset = _mm256_set1_epi16(kChromaOffset);
    const __m256i uu = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(u8, u8)), offset);
    const __m256i vv = _mm256_sub_epi16(_mm256_cvtepu8_epi16(_mm_unpacklo_epi8(v8, v8)), offset);
    return {_mm256_mullo_epi16(uu, _mm256_set1_epi16(kFastBlueU)),
            _mm256_add_epi16(_mm256_mullo_epi16(uu, _mm256_set1_epi16(kFastGreenU)),
                             _mm256_mullo_epi16(vv, _mm256_set1_epi16(kFastGreenV))),
            _mm256_mullo_epi16(vv, _mm256_set1_epi16(kFastRedV))};
}

// Columns 0 .. to - 1 of a row pair in groups of 16; the last group is
// moved back to end at `to`, which converts a few pixels twice to the same
// values instead of reading or writing past the columns.
__attribute__((target("avx2"))) void fastPairAvx2(const RowJob& first, const RowJob& second,
                                                  int to) {
    const SpreadMasks spread = loadSpreadMasks();
    for (int x = 0; x < to; x += kGroup) {
        const int at = std::min(x, to - kGroup);
        const ChromaTerms chroma = chromaTermsAvx2(first.u + at / 2, first.v + at / 2);
        fastGroupAvx2(first.luma + at, chroma, spread, first.out + 3 * at);
        fastGroupAvx2(second.luma + at, chroma, spread, second.out + 3 * at);
    }
}

#endif

void fastPair(const RowJob& first, const RowJob& second, int to) {
#ifdef AMBRO_HAVE_AVX2_CONVERSION
    if (to >= kGroup && avx2CodeEnabled()) {
        fastPairAvx2(first, second, to);
        return;
    }
#endif
    fastColumnsPlain(first, 0, to);
    fastColumnsPlain(second, 0, to);
}

// How many columns get the 6-bit and how many the 13-bit conversion.
struct ColumnSplit {
    int fast;
    int precise;
};

ColumnSplit splitColumns(int width, std::size_t stride, PackedFormat format) {
    if (format == PackedFormat::Rgb555) return {0, width & ~1};
    const auto wholeGroups = static_cast<std::size_t>((width + kGroup - 1) / kGroup * kGroup);
    if (stride < 3 * wholeGroups) {
        const int fast = width & ~(kGroup - 1);
        return {fast, (width - fast) & ~1};
    }
    if ((width & 1) == 0) return {width - 2, 2};
    return {width & ~1, 0};
}

}  // namespace

void convertToPacked(const PlanarPicture& picture, PackedFormat format, std::uint8_t* output,
                     std::size_t outputStride, bool verticalFlip) {
    if (picture.width < 2 || picture.height < 2) return;
    const ColumnSplit split = splitColumns(picture.width, outputStride, format);
    const int rows = picture.height & ~1;
    const auto job = [&](int row) {
        const int outputRow = verticalFlip ? rows - 1 - row : row;
        const std::size_t chromaRow = static_cast<std::size_t>(row / 2) * picture.chromaStride;
        return RowJob{picture.luma + static_cast<std::size_t>(row) * picture.lumaStride,
                      picture.blueDifference + chromaRow, picture.redDifference + chromaRow,
                      output + static_cast<std::size_t>(outputRow) * outputStride};
    };
    for (int row = 0; row < rows; row += 2) {
        const RowJob first = job(row);
        const RowJob second = job(row + 1);
        if (format == PackedFormat::Rgb555) {
            rgb555Row(first, split.precise);
            rgb555Row(second, split.precise);
            continue;
        }
        if (split.fast > 0) fastPair(first, second, split.fast);
        preciseBgrColumns(first, split.fast, split.fast + split.precise);
        preciseBgrColumns(second, split.fast, split.fast + split.precise);
    }
}

}  // namespace ambro::media
