#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "media/MaskRect.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

enum class PayloadMarker { None, ExtendedHeader, NoChecksum, ChecksumA, ChecksumF };

// Wraps an elementary stream the way servers do: a leading marker with a
// scrambled head and a checksum, or trailing blocks after an unmarked stream.
// Blocks are appended in call order; build() adds marker, scrambling and
// checksum for marked payloads.
class PayloadBuilder {
public:
    PayloadBuilder(PayloadMarker marker, Bytes stream);

    // A rectangle list of the given rectangles on the 360 x 240 grid.
    static Bytes rectangleList(const std::vector<media::MaskRect>& rects);

    PayloadBuilder& scrambledMaskBlock(const Bytes& list, std::uint32_t textLength = 3);
    // Layout B followed by its word n (or followed by nothing, for the flip
    // tail, which puts n 20 bytes from the end itself).
    PayloadBuilder& plainMaskBlock(const Bytes& list, bool withWord = true);
    PayloadBuilder& word(std::uint32_t value);
    PayloadBuilder& signature(const std::array<std::uint32_t, 4>& words);
    PayloadBuilder& padding();
    PayloadBuilder& authentication();
    PayloadBuilder& chainHead();
    PayloadBuilder& chainBlock(const std::array<std::uint32_t, 4>& kind, std::uint32_t n,
                               std::uint32_t extra);
    PayloadBuilder& flipTail();
    // The closing word of an unmarked payload: its checksum, or not.
    PayloadBuilder& closingWord(bool validChecksum);
    PayloadBuilder& bytes(const Bytes& more);

    Bytes build() const;
    // The size of the last plain mask block, as its word n counts it.
    std::uint32_t lastBlockSize() const { return lastBlockSize_; }

private:
    PayloadMarker marker_;
    Bytes body_;
    std::uint32_t lastBlockSize_ = 0;
};

Bytes markerBytes(PayloadMarker marker);

}  // namespace ambro::test
