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

// The stream with the 13-bit width and height fields of every rectangular VOL
// header rewritten: a header that announces another picture size.
inline std::vector<std::uint8_t> withVolSize(std::vector<std::uint8_t> stream, int width,
                                             int height) {
    const auto writeBits = [&](std::size_t position, int count, std::uint32_t value) {
        for (int i = 0; i < count; ++i, ++position) {
            const auto bit = static_cast<std::uint8_t>(0x80 >> (position % 8));
            if ((value >> (count - 1 - i)) & 1) {
                stream[position / 8] |= bit;
            } else {
                stream[position / 8] &= static_cast<std::uint8_t>(~bit);
            }
        }
    };
    std::size_t from = 0;
    while (auto start = media::findStartCode(stream, from)) {
        from = *start + 4;
        if (!media::isVolStartCode(stream[*start + 3])) continue;
        auto vol = media::parseVolHeader({stream.data() + *start, stream.size() - *start});
        if (!vol || !vol->rectangular) continue;
        // width, marker, height, marker end at afterHeightMarker
        const std::size_t heightAt = *start * 8 + vol->afterHeightMarker - 14;
        writeBits(heightAt, 13, static_cast<std::uint32_t>(height));
        writeBits(heightAt - 14, 13, static_cast<std::uint32_t>(width));
    }
    return stream;
}

}  // namespace ambro::test
