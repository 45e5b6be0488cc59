#include "media/EntropyCoder.h"

#include <bit>
#include <cstdlib>

#include "media/CodePath.h"
#include "media/JpegBitWriter.h"

namespace ambro::media {

namespace {

#define AMBRO_ALWAYS_INLINE __attribute__((always_inline)) inline

// A symbol's code followed by its magnitude bits, taken from `magnitude`
// (c, or c - 1 for negative c).
template <typename Writer>
AMBRO_ALWAYS_INLINE void putCoded(Writer& writer, const EntropyCoder::Code& code,
                                  std::int32_t magnitude) {
    writer.putExactBits(code.bits | (static_cast<std::uint32_t>(magnitude) & code.magnitudeMask),
                        code.length);
}

template <int kBlock, typename Writer>
AMBRO_ALWAYS_INLINE void encodeBlock(const EntropyCoder& coder, const CoefficientPair& pair,
                                     const EntropyCoder::Component& component, std::int32_t& dc,
                                     Writer& writer) {
    const std::int32_t value = pair.rows[0][8 * kBlock];
    const std::int32_t difference = value - dc;
    dc = value;
    const int size = std::bit_width(static_cast<std::uint32_t>(std::abs(difference)));
    putCoded(writer, component.dc->entries[size], difference + (difference >> 31));

    // Everything the loop reads lies at fixed distances from two addresses,
    // the pair's and the coder's, which keeps it within the registers.
    const EntropyCoder::Code* ac = component.ac->entries.data();
    const std::uint8_t* offsets = coder.zigZagToPairOffset();
    const std::int16_t* magnitudes = &pair.magnitudes[0][0] + 8 * kBlock;
    const std::uint8_t* sizes = pair.sizes[kBlock];
    // Bit i: AC position i + 1. Each step shifts out the run of zeros and the
    // coefficient after it.
    std::uint64_t remaining = pair.nonZero[kBlock] >> 1;
    int position = 0;
    while (remaining != 0) {
        int run = std::countr_zero(remaining);
        position += run + 1;
        remaining = (remaining >> run) >> 1;
        for (; run > 15; run -= 16) putCoded(writer, ac[0xF0], 0);
        putCoded(writer, ac[(run << 4) | sizes[position]], magnitudes[offsets[position]]);
    }
    if (position != 63) putCoded(writer, ac[0x00], 0);
}

template <typename Writer>
AMBRO_ALWAYS_INLINE void encodeBlocks(const EntropyCoder& coder, const CoefficientPair* pairs,
                                      std::int32_t* dc, Writer& writer) {
    const EntropyCoder::Component luminance = coder.luminance();
    const EntropyCoder::Component chrominance = coder.chrominance();
    encodeBlock<0>(coder, pairs[0], luminance, dc[0], writer);
    encodeBlock<1>(coder, pairs[0], luminance, dc[0], writer);
    encodeBlock<0>(coder, pairs[1], luminance, dc[0], writer);
    encodeBlock<1>(coder, pairs[1], luminance, dc[0], writer);
    encodeBlock<0>(coder, pairs[2], chrominance, dc[1], writer);
    encodeBlock<1>(coder, pairs[2], chrominance, dc[2], writer);
}

AMBRO_ALWAYS_INLINE void encodeMcu(const EntropyCoder& coder, const CoefficientPair* pairs,
                                   std::int32_t* dc, JpegBitWriter& writer) {
    if (writer.hasRoom(EntropyCoder::kWorstMcuBytes)) {
        JpegBitWriter::Unchecked unchecked(writer);
        encodeBlocks(coder, pairs, dc, unchecked);
        unchecked.finish(writer);
        return;
    }
    // Near the end of the output: a copy that the compiler can keep in
    // registers, checking every word.
    JpegBitWriter checked = writer;
    encodeBlocks(coder, pairs, dc, checked);
    writer = checked;
}

void encodeMcuPlain(const EntropyCoder& coder, const CoefficientPair* pairs, std::int32_t* dc,
                    JpegBitWriter& writer) {
    encodeMcu(coder, pairs, dc, writer);
}

#if defined(__x86_64__) && defined(__GNUC__)
#define AMBRO_HAVE_BMI2_CODER 1
// The same code where shifts by a variable count need no particular register.
__attribute__((target("avx2,bmi,bmi2"))) void encodeMcuBmi2(const EntropyCoder& coder,
                                                            const CoefficientPair* pairs,
                                                            std::int32_t* dc,
                                                            JpegBitWriter& writer) {
    encodeMcu(coder, pairs, dc, writer);
}
#endif

}  // namespace

EntropyCoder::EntropyCoder()
    : luminanceDc_(buildCodes(jpeg::kLuminanceDc)),
      luminanceAc_(buildCodes(jpeg::kLuminanceAc)),
      chrominanceDc_(buildCodes(jpeg::kChrominanceDc)),
      chrominanceAc_(buildCodes(jpeg::kChrominanceAc)),
      zigZagToPairOffset_(kZigZagToPairOffset) {}

EntropyCoder::McuCoder EntropyCoder::mcuCoder() {
#ifdef AMBRO_HAVE_BMI2_CODER
    if (avx2CodeEnabled()) return encodeMcuBmi2;
#endif
    return encodeMcuPlain;
}

// Canonical codes from the code counts (T.81 Annex C).
EntropyCoder::Codes EntropyCoder::buildCodes(const jpeg::HuffmanTable& table) {
    Codes codes;
    std::uint32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        for (int i = 0; i < table.bits[length - 1]; ++i, ++index) {
            const std::uint8_t symbol = table.values[index];
            const int size = symbol & 0x0F;
            codes.entries[symbol] = {code++ << size, static_cast<std::uint16_t>(length + size),
                                     static_cast<std::uint16_t>((1u << size) - 1)};
        }
        code <<= 1;
    }
    return codes;
}

}  // namespace ambro::media
