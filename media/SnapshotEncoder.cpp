#include "media/SnapshotEncoder.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "media/ForwardDct.h"
#include "media/JpegBitWriter.h"

namespace ambro::media {

namespace {

constexpr int kMcuSize = 16;
constexpr std::int32_t kMaxAc = 1023;  // the largest magnitude the AC tables can code
// Worst case of one MCU: 6 blocks of 22 DC bits and 63 x 26 AC bits, in
// bytes, doubled for stuffing.
constexpr std::size_t kWorstMcuBytes = 2 * ((6 * (22 + 63 * 26) + 7) / 8);
constexpr std::size_t kWorstEndBytes = 2 + 2;  // padded last byte with its 00, EOI

enum ColourTable { kYr, kYg, kYb, kCbR, kCbG, kCbB, kCrG, kCrB };

std::int32_t fix(double value) { return static_cast<std::int32_t>(value * 65536.0 + 0.5); }

int magnitudeBits(std::int32_t value) {
    return std::bit_width(static_cast<std::uint32_t>(std::abs(value)));
}

void writeSegmentHead(JpegBitWriter& writer, std::uint8_t marker, std::uint16_t length) {
    writer.putByte(0xFF);
    writer.putByte(marker);
    writer.putWord(length);
}

void writeHuffmanSegment(JpegBitWriter& writer, std::uint8_t classAndId,
                         const jpeg::HuffmanSpec& spec) {
    writeSegmentHead(writer, 0xC4, static_cast<std::uint16_t>(19 + spec.valueCount));
    writer.putByte(classAndId);
    for (std::uint8_t count : spec.bits) writer.putByte(count);
    for (int i = 0; i < spec.valueCount; ++i) writer.putByte(spec.values[i]);
}

}  // namespace

SnapshotEncoder::SnapshotEncoder(int quality) : quality_(std::clamp(quality, 1, 100)) {
    buildQuantisation(quality_);
    buildColourTables();
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
            const std::int32_t divisor = (value * jpeg::kAanScales[i] + 1024) >> 11;
            divisors_[table][i] = divisor;
            reciprocals_[table][i] = ((std::uint64_t{1} << 32) + divisor - 1) / divisor;
        }
    }
}

void SnapshotEncoder::buildColourTables() {
    constexpr std::int32_t kHalf = 1 << 15;
    constexpr std::int32_t kChromaOffset = (128 << 16) + kHalf - 1;
    for (std::int32_t i = 0; i < 256; ++i) {
        colour_[kYr][i] = fix(0.29900) * i;
        colour_[kYg][i] = fix(0.58700) * i;
        colour_[kYb][i] = fix(0.11400) * i + kHalf;
        colour_[kCbR][i] = -fix(0.16874) * i;
        colour_[kCbG][i] = -fix(0.33126) * i;
        colour_[kCbB][i] = fix(0.50000) * i + kChromaOffset;  // also Cr from R
        colour_[kCrG][i] = -fix(0.41869) * i;
        colour_[kCrB][i] = -fix(0.08131) * i;
    }
}

// Canonical codes from the code counts (T.81 Annex C).
SnapshotEncoder::HuffmanCodes SnapshotEncoder::buildCodes(const jpeg::HuffmanSpec& spec) {
    HuffmanCodes codes;
    std::uint16_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < spec.bits[length - 1]; ++i, ++index) {
            const std::uint8_t symbol = spec.values[index];
            codes.code[symbol] = code++;
            codes.length[symbol] = static_cast<std::uint8_t>(length);
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

int SnapshotEncoder::encodePicture(const std::uint8_t* picture, std::uint8_t* output,
                                   std::size_t capacity, int width, int height,
                                   std::size_t& outSize) {
    if (picture == nullptr || output == nullptr || width < 1 || height < 1 || width > 65535 ||
        height > 65535) {
        return 0;
    }
    JpegBitWriter writer(output, capacity);
    writeHeaders(writer, width, height);

    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
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
    const Component luminance{&reciprocals_[0], &divisors_[0], &luminanceDc_, &luminanceAc_};
    const Component chrominance{&reciprocals_[1], &divisors_[1], &chrominanceDc_,
                                &chrominanceAc_};

    const int mcuColumns = (width + kMcuSize - 1) / kMcuSize;
    for (int column = 0; column < mcuColumns; ++column) {
        // Columns past the right edge repeat the last pixel of the row.
        std::size_t offsets[kMcuSize];
        for (int c = 0; c < kMcuSize; ++c) {
            offsets[c] = static_cast<std::size_t>(std::min(column * kMcuSize + c, width - 1)) * 3;
        }
        alignas(32) std::int32_t luma[4][64];
        alignas(32) std::int32_t cb[64];
        alignas(32) std::int32_t cr[64];
        for (int r = 0; r < kMcuSize; ++r) {
            const std::uint8_t* row = rows[r];
            std::int32_t* lumaRow = luma[(r >> 3) * 2] + (r & 7) * 8;
            for (int c = 0; c < kMcuSize; ++c) {
                const std::uint8_t* pixel = row + offsets[c];
                const int blue = pixel[0];
                const int green = pixel[1];
                const int red = pixel[2];
                lumaRow[(c >> 3) * 64 + (c & 7)] =
                    ((colour_[kYr][red] + colour_[kYg][green] + colour_[kYb][blue]) >> 16) - 128;
                if (((r | c) & 1) == 0) {
                    const int at = (r >> 1) * 8 + (c >> 1);
                    cb[at] = ((colour_[kCbR][red] + colour_[kCbG][green] + colour_[kCbB][blue]) >>
                              16) - 128;
                    cr[at] = ((colour_[kCbB][red] + colour_[kCrG][green] + colour_[kCrB][blue]) >>
                              16) - 128;
                }
            }
        }
        for (auto& block : luma) encodeBlock(block, luminance, dc[0], writer);
        encodeBlock(cb, chrominance, dc[1], writer);
        encodeBlock(cr, chrominance, dc[2], writer);
    }
}

void SnapshotEncoder::encodeBlock(std::int32_t* block, const Component& component,
                                  std::int32_t& dc, JpegBitWriter& writer) const {
    forwardDctAan(block);

    std::int32_t coefficients[64];
    for (int k = 0; k < 64; ++k) {
        const int natural = jpeg::kZigZagToNatural[k];
        const std::int32_t value = block[natural];
        const std::int32_t divisor = (*component.divisors)[natural];
        const std::uint64_t rounded =
            static_cast<std::uint64_t>(std::abs(value)) + static_cast<std::uint64_t>(divisor >> 1);
        const auto magnitude =
            static_cast<std::int32_t>((rounded * (*component.reciprocals)[natural]) >> 32);
        coefficients[k] = value < 0 ? -magnitude : magnitude;
    }

    const std::int32_t difference = coefficients[0] - dc;
    dc = coefficients[0];
    const int dcSize = magnitudeBits(difference);
    writer.putBits(component.dc->code[dcSize], component.dc->length[dcSize]);
    if (dcSize > 0) writer.putBits(static_cast<std::uint32_t>(difference < 0 ? difference - 1 : difference), dcSize);

    int run = 0;
    for (int k = 1; k < 64; ++k) {
        std::int32_t value = coefficients[k];
        if (value == 0) {
            ++run;
            continue;
        }
        value = std::clamp(value, -kMaxAc, kMaxAc);
        for (; run > 15; run -= 16) writer.putBits(component.ac->code[0xF0], component.ac->length[0xF0]);
        const int size = magnitudeBits(value);
        const int symbol = (run << 4) | size;
        writer.putBits(component.ac->code[symbol], component.ac->length[symbol]);
        writer.putBits(static_cast<std::uint32_t>(value < 0 ? value - 1 : value), size);
        run = 0;
    }
    if (run > 0) writer.putBits(component.ac->code[0x00], component.ac->length[0x00]);
}

}  // namespace ambro::media
