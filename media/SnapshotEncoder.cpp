#include "media/SnapshotEncoder.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include <cstring>

#include "media/BlockTransform.h"
#include "media/CodePath.h"
#include "media/JpegBitWriter.h"

namespace ambro::media {

namespace {

constexpr int kMcuSize = 16;
// Worst case of one MCU: 6 blocks of 22 DC bits and 63 x 26 AC bits, in
// bytes, doubled for stuffing.
constexpr std::size_t kWorstMcuBytes = 2 * ((6 * (22 + 63 * 26) + 7) / 8);
constexpr std::size_t kWorstEndBytes = 2 + 2;  // padded last byte with its 00, EOI

// The JFIF colour products in 16 fractional bits: FIX(x) = x * 65536 + 0.5
// truncated. Multiplying directly gives the very integers a table of
// products would, and lets the compiler work on many pixels at once.
constexpr std::int32_t kYr = 19595;   // FIX(0.29900)
constexpr std::int32_t kYg = 38470;   // FIX(0.58700)
constexpr std::int32_t kYb = 7471;    // FIX(0.11400)
constexpr std::int32_t kCbR = 11059;  // FIX(0.16874)
constexpr std::int32_t kCbG = 21709;  // FIX(0.33126)
constexpr std::int32_t kHalfChroma = 32768;  // FIX(0.5)
constexpr std::int32_t kCrG = 27439;  // FIX(0.41869)
constexpr std::int32_t kCrB = 5329;   // FIX(0.08131)
constexpr std::int32_t kYRounding = 1 << 15;
constexpr std::int32_t kChromaOffset = (128 << 16) + (1 << 15) - 1;

int magnitudeBits(std::int32_t value) {
    return std::bit_width(static_cast<std::uint32_t>(std::abs(value)));
}

// The magnitude bits of a value: negative values as value - 1 in `size` bits.
std::uint32_t magnitudeCode(std::int32_t value, int size) {
    const auto bits = static_cast<std::uint32_t>(value + (value >> 31));
    return bits & ((1u << size) - 1);
}

// A symbol's code followed by `size` magnitude bits of `value`.
void putSymbol(JpegBitWriter& writer, std::uint32_t packed, std::int32_t value, int size) {
    writer.putExactBits(((packed >> 8) << size) | magnitudeCode(value, size),
                        static_cast<int>(packed & 0xFF) + size);
}

#define AMBRO_INLINE __attribute__((always_inline)) inline

// The 16 pixels of an MCU row that lies wholly inside the picture.
AMBRO_INLINE void gatherRow(const std::uint8_t* __restrict pixels, std::int32_t* __restrict blue,
               std::int32_t* __restrict green, std::int32_t* __restrict red) {
    for (int c = 0; c < kMcuSize; ++c) {
        blue[c] = pixels[3 * c];
        green[c] = pixels[3 * c + 1];
        red[c] = pixels[3 * c + 2];
    }
}

// The same at the right edge, where columns past it repeat the last pixel.
AMBRO_INLINE void gatherEdgeRow(const std::uint8_t* row, const std::size_t* offsets, std::int32_t* blue,
                   std::int32_t* green, std::int32_t* red) {
    for (int c = 0; c < kMcuSize; ++c) {
        const std::uint8_t* pixel = row + offsets[c];
        blue[c] = pixel[0];
        green[c] = pixel[1];
        red[c] = pixel[2];
    }
}

AMBRO_INLINE void convertLumaRow(const std::int32_t* red, const std::int32_t* green, const std::int32_t* blue,
                    std::int32_t* left, std::int32_t* right) {
    std::int32_t luma[kMcuSize];
    for (int c = 0; c < kMcuSize; ++c) {
        luma[c] = ((kYr * red[c] + kYg * green[c] + kYb * blue[c] + kYRounding) >> 16) - 128;
    }
    std::memcpy(left, luma, 8 * sizeof(std::int32_t));
    std::memcpy(right, luma + 8, 8 * sizeof(std::int32_t));
}

AMBRO_INLINE void convertChromaRow(const std::int32_t* __restrict red, const std::int32_t* __restrict green,
                      const std::int32_t* __restrict blue, std::int32_t* __restrict cb,
                      std::int32_t* __restrict cr) {
    // All 16 columns in one contiguous pass, of which the even ones are kept:
    // cheaper than reading every other pixel.
    alignas(32) std::int32_t blueDifference[kMcuSize];
    alignas(32) std::int32_t redDifference[kMcuSize];
    for (int c = 0; c < kMcuSize; ++c) {
        const std::int32_t r = red[c];
        const std::int32_t g = green[c];
        const std::int32_t b = blue[c];
        blueDifference[c] = ((-kCbR * r - kCbG * g + kHalfChroma * b + kChromaOffset) >> 16) - 128;
        redDifference[c] = ((kHalfChroma * r - kCrG * g - kCrB * b + kChromaOffset) >> 16) - 128;
    }
    for (int c = 0; c < 8; ++c) {
        cb[c] = blueDifference[2 * c];
        cr[c] = redDifference[2 * c];
    }
}

// The six level-shifted blocks of one MCU: four of luminance, then Cb, Cr.
struct McuBlocks {
    alignas(32) std::int32_t luma[4][64];
    alignas(32) std::int32_t cb[64];
    alignas(32) std::int32_t cr[64];
};

// Rows of the MCU top-down; `offsets` gives each column's byte offset in a
// row when the MCU reaches past the right edge, else it is null and the
// columns start at `first`.
AMBRO_INLINE void buildMcu(const std::uint8_t* const* rows, std::size_t first,
                           const std::size_t* offsets, McuBlocks& blocks) {
    for (int r = 0; r < kMcuSize; ++r) {
        alignas(32) std::int32_t blue[kMcuSize];
        alignas(32) std::int32_t green[kMcuSize];
        alignas(32) std::int32_t red[kMcuSize];
        if (offsets == nullptr) {
            gatherRow(rows[r] + first, blue, green, red);
        } else {
            gatherEdgeRow(rows[r], offsets, blue, green, red);
        }
        convertLumaRow(red, green, blue, blocks.luma[(r >> 3) * 2] + (r & 7) * 8,
                       blocks.luma[(r >> 3) * 2 + 1] + (r & 7) * 8);
        // Chroma is sampled at the top-left pixel of each 2 x 2 group.
        if ((r & 1) == 0) {
            convertChromaRow(red, green, blue, blocks.cb + (r >> 1) * 8, blocks.cr + (r >> 1) * 8);
        }
    }
}

using BuildMcu = void (*)(const std::uint8_t* const*, std::size_t, const std::size_t*,
                          McuBlocks&);

void buildMcuPlain(const std::uint8_t* const* rows, std::size_t first, const std::size_t* offsets,
                   McuBlocks& blocks) {
    buildMcu(rows, first, offsets, blocks);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void buildMcuAvx2(const std::uint8_t* const* rows,
                                                  std::size_t first, const std::size_t* offsets,
                                                  McuBlocks& blocks) {
    buildMcu(rows, first, offsets, blocks);
}
#endif

BuildMcu chosenBuildMcu() {
#if defined(__x86_64__) && defined(__GNUC__)
    if (avx2CodeEnabled()) return buildMcuAvx2;
#endif
    return buildMcuPlain;
}

void writeSegmentHead(JpegBitWriter& writer, std::uint8_t marker, std::uint16_t length) {
    writer.putByte(0xFF);
    writer.putByte(marker);
    writer.putWord(length);
}

void writeHuffmanSegment(JpegBitWriter& writer, std::uint8_t classAndId,
                         const jpeg::HuffmanTable& table) {
    writeSegmentHead(writer, 0xC4, static_cast<std::uint16_t>(19 + table.valueCount));
    writer.putByte(classAndId);
    for (std::uint8_t count : table.bits) writer.putByte(count);
    for (int i = 0; i < table.valueCount; ++i) writer.putByte(table.values[i]);
}

}  // namespace

SnapshotEncoder::SnapshotEncoder(int quality) : quality_(std::clamp(quality, 1, 100)) {
    buildQuantisation(quality_);
    luminanceDc_ = buildCodes(jpeg::kLuminanceDc);
    luminanceAc_ = buildCodes(jpeg::kLuminanceAc);
    chrominanceDc_ = buildCodes(jpeg::kChrominanceDc);
    chrominanceAc_ = buildCodes(jpeg::kChrominanceAc);
}

void SnapshotEncoder::buildQuantisation(int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    const std::array<std::uint8_t, 64>* base[2] = {&jpeg::kLuminanceQuantisation,
                                                   &jpeg::kChrominanceQuantisation};
    for (int table = 0; table < 2; ++table) {
        for (int i = 0; i < 64; ++i) {
            const int value = std::clamp((scale * (*base[table])[i] + 50) / 100, 1, 255);
            quantisation_[table][i] = static_cast<std::uint8_t>(value);
        }
        for (int i = 0; i < 64; ++i) {
            const std::int32_t divisor = (quantisation_[table][i] * jpeg::kAanScales[i] + 1024) >> 11;
            tables_[table].halves[i] = divisor >> 1;
            tables_[table].reciprocals[i] = 1.0f / static_cast<float>(divisor);
        }
    }
}

// Canonical codes from the code counts (T.81 Annex C).
SnapshotEncoder::HuffmanCodes SnapshotEncoder::buildCodes(const jpeg::HuffmanTable& table) {
    HuffmanCodes codes;
    std::uint16_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[length - 1]; ++i, ++index) {
            const std::uint8_t symbol = table.values[index];
            codes.packed[symbol] = (static_cast<std::uint32_t>(code++) << 8) |
                                   static_cast<std::uint32_t>(length);
        }
        code = static_cast<std::uint16_t>(code << 1);
    }
    return codes;
}

std::size_t SnapshotEncoder::worstCaseSize(int width, int height) {
    if (width < 1 || height < 1) return kHeaderBytes + kWorstEndBytes;
    const std::size_t mcus = static_cast<std::size_t>((width + kMcuSize - 1) / kMcuSize) *
                             static_cast<std::size_t>((height + kMcuSize - 1) / kMcuSize);
    return kHeaderBytes + mcus * kWorstMcuBytes + kWorstEndBytes;
}

void SnapshotEncoder::writeHeaders(JpegBitWriter& writer, int width, int height) const {
    writer.putByte(0xFF);
    writer.putByte(0xD8);

    writeSegmentHead(writer, 0xE0, 16);
    for (std::uint8_t byte : {'J', 'F', 'I', 'F', '\0'}) writer.putByte(byte);
    writer.putByte(1);  // version 1.01
    writer.putByte(1);
    writer.putByte(1);  // dots per inch
    writer.putWord(300);
    writer.putWord(300);
    writer.putByte(0);  // no thumbnail
    writer.putByte(0);

    for (std::uint8_t table = 0; table < 2; ++table) {
        writeSegmentHead(writer, 0xDB, 67);
        writer.putByte(table);
        for (std::uint8_t natural : jpeg::kZigZagToNatural) {
            writer.putByte(quantisation_[table][natural]);
        }
    }

    writeSegmentHead(writer, 0xC0, 17);
    writer.putByte(8);
    writer.putWord(static_cast<std::uint16_t>(height));
    writer.putWord(static_cast<std::uint16_t>(width));
    writer.putByte(3);
    for (const std::uint8_t component : {1, 2, 3}) {
        writer.putByte(component);
        writer.putByte(component == 1 ? 0x22 : 0x11);
        writer.putByte(component == 1 ? 0 : 1);
    }

    writeHuffmanSegment(writer, 0x00, jpeg::kLuminanceDc);
    writeHuffmanSegment(writer, 0x10, jpeg::kLuminanceAc);
    writeHuffmanSegment(writer, 0x01, jpeg::kChrominanceDc);
    writeHuffmanSegment(writer, 0x11, jpeg::kChrominanceAc);

    writeSegmentHead(writer, 0xDA, 12);
    writer.putByte(3);
    for (const std::uint8_t component : {1, 2, 3}) {
        writer.putByte(component);
        writer.putByte(component == 1 ? 0x00 : 0x11);
    }
    writer.putByte(0);   // spectral selection 0..63
    writer.putByte(63);
    writer.putByte(0);   // no successive approximation
}

int SnapshotEncoder::encodePicture(const std::uint8_t* picture, std::size_t stride,
                                   std::uint8_t* output, std::size_t capacity, int width,
                                   int height, std::size_t& outSize) {
    if (picture == nullptr || output == nullptr || width < 1 || height < 1 || width > 65535 ||
        height > 65535 || stride < tightStride(width)) {
        return 0;
    }
    JpegBitWriter writer(output, capacity);
    writeHeaders(writer, width, height);

    std::int32_t dc[3] = {0, 0, 0};
    const int mcuRows = (height + kMcuSize - 1) / kMcuSize;
    for (int row = 0; row < mcuRows && !writer.overflowed(); ++row) {
        encodeMcuRow(picture, stride, width, height, row, writer, dc);
    }
    writer.flushWithOnes();
    writer.putByte(0xFF);
    writer.putByte(0xD9);
    if (writer.overflowed()) return 0;
    outSize = writer.size();
    return 1;
}

void SnapshotEncoder::encodeMcuRow(const std::uint8_t* picture, std::size_t stride, int width,
                                   int height, int mcuRow, JpegBitWriter& writer,
                                   std::int32_t* dc) const {
    // Rows top-down, the top row being the last in memory; rows past the
    // bottom edge repeat the last one.
    const std::uint8_t* rows[kMcuSize];
    for (int r = 0; r < kMcuSize; ++r) {
        const int y = std::min(mcuRow * kMcuSize + r, height - 1);
        rows[r] = picture + static_cast<std::size_t>(height - 1 - y) * stride;
    }
    const Component luminance{&tables_[0], &luminanceDc_, &luminanceAc_};
    const Component chrominance{&tables_[1], &chrominanceDc_, &chrominanceAc_};
    const BuildMcu build = chosenBuildMcu();

    const int mcuColumns = (width + kMcuSize - 1) / kMcuSize;
    for (int column = 0; column < mcuColumns; ++column) {
        const bool inside = (column + 1) * kMcuSize <= width;
        std::size_t offsets[kMcuSize];
        if (!inside) {
            for (int c = 0; c < kMcuSize; ++c) {
                offsets[c] = static_cast<std::size_t>(std::min(column * kMcuSize + c, width - 1)) * 3;
            }
        }
        McuBlocks blocks;
        build(rows, static_cast<std::size_t>(column) * kMcuSize * 3, inside ? nullptr : offsets,
              blocks);
        for (auto& block : blocks.luma) encodeBlock(block, luminance, dc[0], writer);
        encodeBlock(blocks.cb, chrominance, dc[1], writer);
        encodeBlock(blocks.cr, chrominance, dc[2], writer);
    }
}

void SnapshotEncoder::encodeBlock(std::int32_t* block, const Component& component,
                                  std::int32_t& dc, JpegBitWriter& writer) const {
    alignas(32) std::int32_t coefficients[64];
    std::uint64_t nonZero = transformBlock(block, *component.table, coefficients);

    const std::int32_t difference = coefficients[0] - dc;
    dc = coefficients[0];
    const int dcSize = magnitudeBits(difference);
    putSymbol(writer, component.dc->packed[dcSize], difference, dcSize);

    nonZero &= ~std::uint64_t{1};
    int previous = 0;
    const HuffmanCodes& ac = *component.ac;
    while (nonZero != 0) {
        const int k = std::countr_zero(nonZero);
        nonZero &= nonZero - 1;
        int run = k - previous - 1;
        previous = k;
        for (; run > 15; run -= 16) writer.putExactBits(ac.code(0xF0), ac.length(0xF0));
        const std::int32_t value = coefficients[k];
        const int size = magnitudeBits(value);
        putSymbol(writer, ac.packed[(run << 4) | size], value, size);
    }
    if (previous != 63) writer.putExactBits(ac.code(0x00), ac.length(0x00));
}

}  // namespace ambro::media
