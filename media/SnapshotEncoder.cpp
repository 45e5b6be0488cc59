#include "media/SnapshotEncoder.h"

#include <algorithm>
#include <cstdlib>

#include "media/BlockTransform.h"
#include "media/JpegBitWriter.h"
#include "media/McuStrip.h"

namespace ambro::media {

namespace {

constexpr int kMcuSize = McuStrip::kMcuSize;
constexpr std::size_t kWorstEndBytes = 2 + 2;  // padded last byte with its 00, EOI

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
        tables_[table] = makeQuantisationTable(quantisation_[table]);
    }
}

std::size_t SnapshotEncoder::worstCaseSize(int width, int height) {
    if (width < 1 || height < 1) return kHeaderBytes + kWorstEndBytes;
    const std::size_t mcus = static_cast<std::size_t>((width + kMcuSize - 1) / kMcuSize) *
                             static_cast<std::size_t>((height + kMcuSize - 1) / kMcuSize);
    return kHeaderBytes + mcus * EntropyCoder::kWorstMcuBytes + kWorstEndBytes;
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
    const Stages stages{stripFiller(), pairTransform(), EntropyCoder::mcuCoder()};
    const int mcuRows = (height + kMcuSize - 1) / kMcuSize;
    for (int row = 0; row < mcuRows && !writer.overflowed(); ++row) {
        encodeMcuRow(picture, stride, width, height, row, stages, writer, dc);
    }
    writer.flushWithOnes();
    writer.putByte(0xFF);
    writer.putByte(0xD9);
    if (writer.overflowed()) return 0;
    outSize = writer.size();
    return 1;
}

void SnapshotEncoder::encodeMcuRow(const std::uint8_t* picture, std::size_t stride, int width,
                                   int height, int mcuRow, const Stages& stages,
                                   JpegBitWriter& writer, std::int32_t* dc) const {
    // Rows top-down, the top row being the last in memory; rows past the
    // bottom edge repeat the last one.
    const std::uint8_t* rows[kMcuSize];
    for (int r = 0; r < kMcuSize; ++r) {
        const int y = std::min(mcuRow * kMcuSize + r, height - 1);
        rows[r] = picture + static_cast<std::size_t>(height - 1 - y) * stride;
    }

    McuStrip strip;
    const int mcuColumns = (width + kMcuSize - 1) / kMcuSize;
    for (int first = 0; first < mcuColumns; first += McuStrip::kMaxMcus) {
        const int mcus = std::min(McuStrip::kMaxMcus, mcuColumns - first);
        const std::size_t firstPixel = static_cast<std::size_t>(first) * kMcuSize;
        const std::uint8_t* stripRows[kMcuSize];
        for (int r = 0; r < kMcuSize; ++r) stripRows[r] = rows[r] + 3 * firstPixel;
        stages.fill(stripRows, std::min(width - static_cast<int>(firstPixel), mcus * kMcuSize),
                    mcus, strip);

        for (int m = 0; m < mcus; ++m) {
            const std::size_t column = static_cast<std::size_t>(m) * kMcuSize;
            CoefficientPair pairs[3];
            stages.transform(&strip.luma[0][column], McuStrip::kRowLength, tables_[0], pairs[0]);
            stages.transform(&strip.luma[8][column], McuStrip::kRowLength, tables_[0], pairs[1]);
            stages.transform(&strip.chroma[0][column], McuStrip::kRowLength, tables_[1], pairs[2]);
            stages.code(entropyCoder_, pairs, dc, writer);
        }
    }
}

}  // namespace ambro::media
