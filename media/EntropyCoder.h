#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "media/BlockTransform.h"
#include "media/JpegTables.h"

namespace ambro::media {

class JpegBitWriter;

// Huffman coding of quantised blocks with the Annex K tables (T.81 F.1.2):
// per block the DC difference to the component's previous DC as size
// category and magnitude bits, then the AC coefficients in zig-zag order as
// run/size symbols, ZRL for each run of 16 zeros, EOB when the block ends in
// zeros. The codes are built once; coding allocates nothing.
class EntropyCoder {
public:
    // The most bytes one MCU can take: 6 blocks of at most 22 DC bits (an
    // 11-bit code and 11 magnitude bits) and 63 AC symbols of at most 26 bits
    // (16-bit code, 10 magnitude bits), doubled for the 00 stuffed after a
    // worst case of nothing but FF bytes.
    static constexpr std::size_t kWorstMcuBytes = 2 * ((6 * (22 + 63 * 26) + 7) / 8);

    EntropyCoder();

    // Codes the six blocks of one 4:2:0 MCU: Y1 Y2 (pairs[0]), Y3 Y4
    // (pairs[1]), Cb Cr (pairs[2]). `dc` holds the three DC predictors.
    using McuCoder = void (*)(const EntropyCoder& coder, const CoefficientPair* pairs,
                              std::int32_t* dc, JpegBitWriter& writer);

    // The version for this processor and the chosen code path; all give
    // the same bits.
    static McuCoder mcuCoder();

    // Per symbol: the code shifted left by the symbol's magnitude size (its
    // low four bits), the length of code and magnitude bits together, and
    // the mask of the magnitude bits.
    struct Code {
        std::uint32_t bits;
        std::uint16_t length;
        std::uint16_t magnitudeMask;
    };
    struct Codes {
        std::array<Code, 256> entries{};
    };
    struct Component {
        const Codes* dc;
        const Codes* ac;
    };

    Component luminance() const { return {&luminanceDc_, &luminanceAc_}; }
    Component chrominance() const { return {&chrominanceDc_, &chrominanceAc_}; }
    const std::uint8_t* zigZagToPairOffset() const { return zigZagToPairOffset_.data(); }

private:
    static Codes buildCodes(const jpeg::HuffmanTable& table);

    Codes luminanceDc_;
    Codes luminanceAc_;
    Codes chrominanceDc_;
    Codes chrominanceAc_;
    // kZigZagToPairOffset, kept beside the codes.
    std::array<std::uint8_t, 64> zigZagToPairOffset_;
};

}  // namespace ambro::media
