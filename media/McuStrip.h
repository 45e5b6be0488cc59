#pragma once

#include <cstddef>
#include <cstdint>

namespace ambro::media {

// The level-shifted samples (-128..127) of up to kMaxMcus MCUs of one MCU
// row, converted from 24-bit BGR once: all 16 rows of luminance, and the
// chroma of the top-left pixel of each 2 x 2 group (point sampling).
struct McuStrip {
    static constexpr int kMcuSize = 16;
    static constexpr int kMaxMcus = 16;
    static constexpr std::size_t kRowLength = kMaxMcus * kMcuSize;

    alignas(32) std::int16_t luma[kMcuSize][kRowLength];
    // Row r holds picture row 2r: for each MCU the Cb of its columns 0, 2,
    // .., 14, then their Cr, so that one MCU's two chroma blocks lie side by
    // side as a block pair.
    alignas(32) std::int16_t chroma[kMcuSize / 2][kRowLength];
};

// Fills a strip of `mcus` MCUs from `rows`, the strip's 16 picture rows
// top-down, each pointing at its first pixel. `pixels` (1 .. 16 x mcus)
// columns lie in the picture; the columns past them repeat the last one.
// The JFIF conversion with 16 fractional bits:
//   Y  = (19595 R + 38470 G + 7471 B + 32768) >> 16
//   Cb = (-11059 R - 21709 G + 32768 B + 8421375) >> 16
//   Cr = (32768 R - 27439 G - 5329 B + 8421375) >> 16
// each less 128. The AVX2 and the plain versions give the same samples.
using StripFiller = void (*)(const std::uint8_t* const* rows, int pixels, int mcus,
                             McuStrip& strip);

// The version for this processor and the chosen code path.
StripFiller stripFiller();

}  // namespace ambro::media
