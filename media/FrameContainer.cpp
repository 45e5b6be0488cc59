#include "media/FrameContainer.h"

#include <algorithm>
#include <array>
#include <optional>

#include "platform/ByteOrder.h"

namespace ambro::media {

namespace {

using Signature = std::array<std::uint32_t, 4>;

constexpr std::uint32_t kWordMask = 0x6B19E45C;
constexpr std::uint8_t kByteMask = kWordMask & 0xFF;

constexpr Signature kAuthenticationSignature = {220, 211, 111, 220};
constexpr Signature kPaddingSignature = {243, 254, 265, 276};
constexpr Signature kMaskBlockSignature = {101, 202, 303, 404};
constexpr Signature kChainHeadSignature = {142, 153, 164, 175};

constexpr std::size_t kMarkerLength = 5;
constexpr std::size_t kHeadOffset = 5;
constexpr std::size_t kHeadLength = 16;
constexpr std::size_t kDescrambleAbove = 24;
constexpr std::size_t kShortestChecked = 13;
constexpr std::size_t kAuthenticationLength = 1168;
constexpr std::size_t kAuthenticationAbove = 2192;
constexpr std::size_t kSignatureLength = 16;
constexpr std::size_t kTextLimit = 40960;
constexpr std::size_t kListLimit = 10240;
constexpr std::size_t kChainLimit = 3520;

struct ChainKind {
    Signature signature;
    std::uint32_t extra;  // bytes removed beyond n
    bool bounded;         // n must lie in 1..kChainLimit
};

constexpr std::array<ChainKind, 6> kChainKinds = {{
    {{123, 456, 789, 100}, 20, true},
    {{1000, 1001, 1002, 1003}, 20, false},
    {{111, 222, 333, 444}, 90, false},
    {{555, 666, 777, 888}, 90, false},
    {{455, 566, 677, 788}, 90, false},
    {{9, 18, 27, 36}, 90, false},
}};

enum class Marker { ExtendedHeader, NoChecksum, Checksum, None };

Marker markerOf(std::span<const std::uint8_t> p) {
    if (p.size() < kMarkerLength) return Marker::None;
    const auto starts = [&](std::uint8_t first, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            if (p[i] != first + i) return false;
        }
        return true;
    };
    if (starts(0x00, 5)) return Marker::ExtendedHeader;
    if (starts(0x05, 5)) return Marker::NoChecksum;
    if (starts(0x0A, 4) || starts(0x0F, 5)) return Marker::Checksum;
    return Marker::None;
}

// Reads within the current length L of a payload; every read is bounded by it.
class Payload {
public:
    Payload(std::span<std::uint8_t> bytes) : bytes_(bytes), length_(bytes.size()) {}

    std::size_t& length() { return length_; }
    std::span<std::uint8_t> bytes() const { return bytes_; }

    std::uint32_t wordAt(std::size_t offset) const {
        return offset + 4 <= length_ ? platform::loadLe32(bytes_.data() + offset) : 0;
    }
    bool signatureAt(std::size_t offset, const Signature& signature,
                     std::uint32_t mask = 0) const {
        if (offset + kSignatureLength > length_) return false;
        for (std::size_t i = 0; i < 4; ++i) {
            if ((wordAt(offset + 4 * i) ^ mask) != signature[i]) return false;
        }
        return true;
    }
    bool signatureAtEnd(const Signature& signature) const {
        return length_ >= kSignatureLength && signatureAt(length_ - kSignatureLength, signature);
    }
    void descrambleHead() {
        for (std::size_t i = 0; i < kHeadLength; ++i) bytes_[kHeadOffset + i] ^= kByteMask;
    }

private:
    std::span<std::uint8_t> bytes_;
    std::size_t length_;
};

enum class ListRead { Read, NotRead, Fail };

// A rectangle list of k bytes at `offset` is usable when it lies before
// `end`, holds its 32-byte head, and its count fits in it.
bool usableList(const Payload& p, std::size_t offset, std::size_t size, std::size_t end) {
    if (offset > end || size > end - offset || size < 32) return false;
    const std::uint64_t count = p.wordAt(offset + 8);
    return 32 + 16 * count <= size;
}

ListRead readList(const Payload& p, std::size_t listOffset, std::size_t size, std::size_t end,
                  bool mirrored, UnwrappedPayload& result) {
    if (!usableList(p, listOffset, size, end)) return ListRead::NotRead;
    result.hasRectangles = true;
    result.rectangles = {p.bytes().data() + listOffset, size, mirrored};
    return ListRead::Read;
}

// The part both mask-block layouts share, from the text length on: t, text,
// k, list. A list of `listLimit` bytes or more is refused, and fails the call
// when `oversizeFails`.
ListRead readTextAndList(const Payload& p, std::size_t position, std::size_t end,
                         std::size_t listLimit, bool oversizeFails, bool mirrored,
                         UnwrappedPayload& result) {
    if (position + 4 > end) return ListRead::NotRead;
    const std::uint32_t textLength = p.wordAt(position);
    position += 4;
    if (textLength >= kTextLimit || textLength > end - position) return ListRead::NotRead;
    position += textLength;
    if (position + 4 > end) return ListRead::NotRead;
    const std::uint32_t listSize = p.wordAt(position);
    position += 4;
    if (listSize >= listLimit) return oversizeFails ? ListRead::Fail : ListRead::NotRead;
    return readList(p, position, listSize, end, mirrored, result);
}

// Layout A: signature, t, text, k, list, reserved, ending at the word n.
ListRead readScrambledBlock(const Payload& p, std::size_t start, std::size_t end,
                            UnwrappedPayload& result) {
    return readTextAndList(p, start + kSignatureLength, end, kListLimit, false, false, result);
}

// Layout B: signature, reserved, t, text, k, list. In the flip tail's block a
// list larger than the mask store fails the call; elsewhere a list of the
// store's size or more is not read.
ListRead readPlainBlock(const Payload& p, std::size_t start, std::size_t end, bool flipTail,
                        UnwrappedPayload& result) {
    const std::size_t limit = flipTail ? kListLimit + 1 : kListLimit;
    return readTextAndList(p, start + kSignatureLength + 4, end, limit, flipTail, flipTail,
                           result);
}

void removePaddingAtEnd(Payload& p) {
    if (p.length() > kSignatureLength && p.signatureAtEnd(kPaddingSignature)) {
        p.length() -= kSignatureLength;
    }
}

// n read at `wordOffset` places a block at wordOffset - n; it must leave room
// for the block's signature before the word.
std::optional<std::size_t> blockStartBefore(std::size_t wordOffset, std::uint32_t n) {
    if (n < kSignatureLength || n > wordOffset) return std::nullopt;
    return wordOffset - n;
}

bool unwrapMarked(Payload& p, Marker marker, bool readScrambledMasks, UnwrappedPayload& result) {
    std::size_t& length = p.length();
    if (marker == Marker::ExtendedHeader) {
        result.switchesExtendedHeader = true;
        if (length > kDescrambleAbove) p.descrambleHead();
    }
    if (marker == Marker::ExtendedHeader || marker == Marker::Checksum) {
        if (length < kShortestChecked) return false;
        const std::uint32_t checksum = p.wordAt(length - 4);
        length -= 4;
        if (payloadChecksum(p.bytes(), length + 4) != checksum) return false;
    }
    if (marker != Marker::ExtendedHeader && length > kDescrambleAbove) p.descrambleHead();

    if (length > kAuthenticationAbove &&
        p.signatureAt(length - kAuthenticationLength, kAuthenticationSignature)) {
        length -= kAuthenticationLength;
    }
    removePaddingAtEnd(p);
    if (length > 4) {
        const std::uint32_t n = p.wordAt(length - 4);
        const auto start = n < length ? blockStartBefore(length - 4, n) : std::nullopt;
        if (start && p.signatureAt(*start, kMaskBlockSignature, kWordMask)) {
            result.carriedScrambledMaskBlock = true;
            if (readScrambledMasks) readScrambledBlock(p, *start, length - 4, result);
            if (std::size_t{n} + 4 < length) length -= n + 4;
        }
    }
    result.streamOffset = kMarkerLength;
    result.streamLength = length > kMarkerLength ? length - kMarkerLength : 0;
    return true;
}

void runChain(Payload& p) {
    std::size_t& length = p.length();
    bool removed = true;
    while (length > 32 && removed) {
        removed = false;
        const std::uint64_t n = p.wordAt(length - 20);
        for (const ChainKind& kind : kChainKinds) {
            if (!p.signatureAtEnd(kind.signature)) continue;
            if (kind.bounded && (n < 1 || n > kChainLimit)) break;
            const std::uint64_t drop = n + kind.extra;
            if (drop > length) break;
            length -= static_cast<std::size_t>(drop);
            removed = true;
            break;
        }
    }
}

bool unwrapUnmarked(Payload& p, UnwrappedPayload& result) {
    std::size_t& length = p.length();
    if (p.signatureAtEnd(kChainHeadSignature)) {
        length -= kSignatureLength;
        runChain(p);
    }
    if (p.signatureAtEnd(kChainHeadSignature)) {
        length -= kSignatureLength;
        removePaddingAtEnd(p);
        if (length > 4) {
            const std::uint32_t n = p.wordAt(length - 4);
            const auto start = blockStartBefore(length - 4, n);
            if (start && p.signatureAt(*start, kMaskBlockSignature)) {
                readPlainBlock(p, *start, length - 4, false, result);
            }
        }
    }
    removePaddingAtEnd(p);

    const auto byteAt = [&](std::size_t back) { return p.bytes()[length - back]; };
    const bool flipTail = length >= 16 && byteAt(16) == 21 && byteAt(12) == 32 &&
                          byteAt(8) == 43 && byteAt(4) == 54;
    if (flipTail) {
        if (length >= 32 && p.signatureAt(length - 32, kPaddingSignature)) length -= 16;
        result.switchesVerticalFlip = true;
        if (length >= 20) {
            const std::uint32_t n = p.wordAt(length - 20);
            const auto start = blockStartBefore(length - 20, n);
            if (start && p.signatureAt(*start, kMaskBlockSignature)) {
                if (readPlainBlock(p, *start, length - 20, true, result) == ListRead::Fail) {
                    return false;
                }
                length = *start;
            }
        }
    } else {
        if (length < kShortestChecked) return false;
        const std::uint32_t closing = p.wordAt(length - 4);
        length -= 4;
        if (closing == payloadChecksum(p.bytes(), length + 4)) result.switchesExtendedHeader = true;
    }
    result.streamOffset = 0;
    result.streamLength = length;
    return true;
}

}  // namespace

std::uint32_t payloadChecksum(std::span<const std::uint8_t> payload, std::size_t fullLength) {
    std::uint32_t sum = 0;
    if (fullLength < 12) return sum;
    const std::size_t end = std::min(fullLength - 12, payload.size());
    for (std::size_t offset = 0; offset < end; offset += 8) sum += payload[offset];
    return sum;
}

UnwrappedPayload unwrapFramePayload(std::span<std::uint8_t> payload, bool readScrambledMasks) {
    UnwrappedPayload result;
    Payload p(payload);
    const Marker marker = markerOf(payload);
    result.accepted = marker == Marker::None ? unwrapUnmarked(p, result)
                                             : unwrapMarked(p, marker, readScrambledMasks, result);
    result.remainingLength = p.length();
    if (!result.accepted) result.hasRectangles = false;
    return result;
}

}  // namespace ambro::media
