#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "media/BlockTransform.h"
#include "media/JpegTables.h"

namespace ambro::media {

class JpegBitWriter;

// Encodes a decoded picture as a baseline JFIF file whose bytes are fixed by
// its parameters: 4:2:0 with point-sampled chroma, the AAN integer DCT, the
// Annex K Huffman tables, no restart markers. All tables are built once at
// creation; encoding a picture allocates nothing.
class SnapshotEncoder {
public:
    // The bytes before the entropy-coded data (SOI to SOS).
    static constexpr std::size_t kHeaderBytes = 623;

    // Quality 1..100; 0 counts as 1, anything above 100 as 100.
    explicit SnapshotEncoder(int quality = 100);

    // The most bytes encodePicture can write for a W x H picture, with any
    // content: the headers, then for each 16 x 16 MCU six blocks of at most
    // 22 DC bits (an 11-bit code and 11 magnitude bits) and 63 AC symbols of
    // at most 26 bits (16-bit code, 10 magnitude bits), doubled for the 00
    // stuffed after a worst case of nothing but FF bytes; then the last
    // padded byte with its stuffing and EOI.
    static std::size_t worstCaseSize(int width, int height);

    // Row strides of the two picture layouts in use: rows W x 3 bytes apart
    // (the decoder's output) and rows padded to a multiple of 4 bytes (a
    // device-independent bitmap).
    static std::size_t tightStride(int width) { return static_cast<std::size_t>(width) * 3; }
    static std::size_t paddedStride(int width) { return (tightStride(width) + 3) / 4 * 4; }

    // The input is 24-bit BGR, bottom-up, rows `stride` bytes apart. Returns
    // 1 and the byte count on success, 0 for a missing buffer, a size below 1,
    // a stride shorter than a row, or an output buffer too small (nothing is
    // written past `capacity`).
    int encodePicture(const std::uint8_t* picture, std::size_t stride, std::uint8_t* output,
                      std::size_t capacity, int width, int height, std::size_t& outSize);

    int quality() const { return quality_; }
    const std::array<std::uint8_t, 64>& luminanceTable() const { return quantisation_[0]; }
    const std::array<std::uint8_t, 64>& chrominanceTable() const { return quantisation_[1]; }

private:
    // Per symbol: the code in the upper bits, its length in the low 8.
    struct HuffmanCodes {
        std::array<std::uint32_t, 256> packed{};
        std::uint32_t code(int symbol) const { return packed[symbol] >> 8; }
        int length(int symbol) const { return static_cast<int>(packed[symbol] & 0xFF); }
    };
    struct Component {
        const QuantisationTable* table;
        const HuffmanCodes* dc;
        const HuffmanCodes* ac;
    };

    void buildQuantisation(int quality);
    static HuffmanCodes buildCodes(const jpeg::HuffmanTable& table);

    void writeHeaders(JpegBitWriter& writer, int width, int height) const;
    void encodeMcuRow(const std::uint8_t* picture, std::size_t stride, int width, int height,
                      int mcuRow, JpegBitWriter& writer, std::int32_t* dc) const;
    void encodeBlock(std::int32_t* block, const Component& component, std::int32_t& dc,
                     JpegBitWriter& writer) const;

    int quality_;
    std::array<std::array<std::uint8_t, 64>, 2> quantisation_{};  // natural order
    std::array<QuantisationTable, 2> tables_{};

public:
    // y / divisor as the encoder computes it; exact for every y below 2^17
    // and every divisor up to 4096.
    static std::int32_t quotient(std::int32_t y, float reciprocal) {
        return quantisationQuotient(y, reciprocal);
    }

private:
    HuffmanCodes luminanceDc_;
    HuffmanCodes luminanceAc_;
    HuffmanCodes chrominanceDc_;
    HuffmanCodes chrominanceAc_;
};

}  // namespace ambro::media
