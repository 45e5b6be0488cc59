#pragma once

#include <cstdint>
#include <vector>

#include "media/ElementaryStream.h"

namespace ambro::test {

// Puts 40 bits of the given value into every rectangular VOL header of a
// stream, right after the marker bit that follows the height: what the
// extended-header servers send.
inline std::vector<std::uint8_t> withExtendedHeaders(const std::vector<std::uint8_t>& stream,
                                                     std::uint64_t value = 0xA5C3E1F00FULL) {
    std::vector<bool> bits;
    for (std::uint8_t byte : stream) {
        for (int i = 7; i >= 0; --i) bits.push_back((byte >> i) & 1);
    }
    std::vector<std::size_t> cuts;
    std::size_t from = 0;
    while (auto start = media::findStartCode(stream, from)) {
        from = *start + 4;
        if (!media::isVolStartCode(stream[*start + 3])) continue;
        auto vol = media::parseVolHeader({stream.data() + *start, stream.size() - *start});
        if (vol && vol->rectangular) cuts.push_back(*start * 8 + vol->afterHeightMarker);
    }
    for (auto cut = cuts.rbegin(); cut != cuts.rend(); ++cut) {
        std::vector<bool> extra;
        for (int i = 39; i >= 0; --i) extra.push_back((value >> i) & 1);
        bits.insert(bits.begin() + static_cast<std::ptrdiff_t>(*cut), extra.begin(), extra.end());
    }
    std::vector<std::uint8_t> result(bits.size() / 8);
    for (std::size_t i = 0; i < result.size() * 8; ++i) {
        if (bits[i]) result[i / 8] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
    }
    return result;
}

}  // namespace ambro::test
