#include "media/ElementaryStream.h"

#include <cstring>

#include "media/BitReader.h"

namespace ambro::media {

namespace {

constexpr int kStartCodeBits = 32;
constexpr int kExtendedHeaderBits = 40;
constexpr int kShapeRectangular = 0;
constexpr int kShapeBinaryOnly = 2;
constexpr int kShapeGrayscale = 3;
constexpr int kExtendedPar = 15;

int bitsForTimeIncrement(std::uint32_t resolution) {
    if (resolution == 0) return 1;
    int bits = 0;
    for (std::uint32_t value = resolution - 1; value != 0; value >>= 1) ++bits;
    return bits < 1 ? 1 : bits;
}

void skipVbvParameters(BitReader& bits) {
    // bit rate, buffer size and occupancy, split by marker bits
    bits.skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1);
}

// Removes `count` bits (a multiple of 8) starting at bit `position`, moving
// the rest of the stream up; returns the new length.
std::size_t removeBits(std::uint8_t* stream, std::size_t length, std::size_t position,
                       std::size_t count) {
    const std::size_t byte = position / 8;
    const std::size_t shift = count / 8;
    if (byte + shift >= length) return byte + (position % 8 != 0 ? 1 : 0);
    const unsigned keptBits = position % 8;
    const std::uint8_t keptMask = static_cast<std::uint8_t>(0xFF00u >> keptBits);
    stream[byte] = static_cast<std::uint8_t>((stream[byte] & keptMask) |
                                             (stream[byte + shift] & ~keptMask));
    std::memmove(stream + byte + 1, stream + byte + 1 + shift, length - byte - 1 - shift);
    return length - shift;
}

}  // namespace

std::optional<std::size_t> findStartCode(std::span<const std::uint8_t> stream, std::size_t from) {
    for (std::size_t i = from; i + 3 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) return i;
    }
    return std::nullopt;
}

std::optional<VopCodingType> vopCodingTypeAt(std::span<const std::uint8_t> stream,
                                             std::size_t offset) {
    if (offset + 4 >= stream.size() || stream[offset + 3] != kVopStartCode) return std::nullopt;
    return static_cast<VopCodingType>(stream[offset + 4] >> 6);
}

std::optional<VolHeader> parseVolHeader(std::span<const std::uint8_t> header) {
    BitReader bits(header);
    bits.skip(kStartCodeBits);
    bits.skip(1 + 8);  // random_accessible_vol, video_object_type_indication
    int verid = 1;
    if (bits.readFlag()) {
        verid = static_cast<int>(bits.read(4));
        bits.skip(3);  // priority
    }
    if (bits.read(4) == kExtendedPar) bits.skip(8 + 8);
    if (bits.readFlag()) {    // vol_control_parameters
        bits.skip(2 + 1);     // chroma_format, low_delay
        if (bits.readFlag()) skipVbvParameters(bits);
    }
    const int shape = static_cast<int>(bits.read(2));
    if (shape == kShapeGrayscale && verid != 1) bits.skip(4);
    bits.skip(1);  // marker
    const std::uint32_t resolution = bits.read(16);
    bits.skip(1);  // marker
    if (bits.readFlag()) bits.skip(bitsForTimeIncrement(resolution));

    VolHeader vol;
    if (shape == kShapeRectangular) {
        bits.skip(1);
        vol.width = static_cast<int>(bits.read(13));
        bits.skip(1);
        vol.height = static_cast<int>(bits.read(13));
        bits.skip(1);
        vol.rectangular = true;
        vol.afterHeightMarker = bits.position();
    } else if (shape == kShapeBinaryOnly) {
        vol.afterHeightMarker = bits.position();
    }
    if (bits.exhausted()) return std::nullopt;
    return vol;
}

std::size_t removeExtendedHeaderBits(std::uint8_t* stream, std::size_t length) {
    std::size_t from = 0;
    while (auto start = findStartCode({stream, length}, from)) {
        from = *start + 4;
        if (!isVolStartCode(stream[*start + 3])) continue;
        const std::span<const std::uint8_t> header(stream + *start, length - *start);
        const auto vol = parseVolHeader(header);
        if (!vol || !vol->rectangular) continue;
        const std::size_t cut = *start * 8 + vol->afterHeightMarker;
        if (cut + kExtendedHeaderBits > length * 8) continue;
        length = removeBits(stream, length, cut, kExtendedHeaderBits);
    }
    return length;
}

}  // namespace ambro::media
