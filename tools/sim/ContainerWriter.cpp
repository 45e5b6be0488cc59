#include "tools/sim/ContainerWriter.h"

#include <array>
#include <cmath>
#include <string>

#include "platform/ByteOrder.h"

namespace ambro::sim {

namespace {

using Bytes = std::vector<std::uint8_t>;
using Signature = std::array<std::uint32_t, 4>;

constexpr Signature kMaskSignature = {101, 202, 303, 404};
constexpr Signature kPaddingSignature = {243, 254, 265, 276};
constexpr Signature kAuthenticationSignature = {220, 211, 111, 220};
constexpr Signature kChainHeadSignature = {142, 153, 164, 175};
constexpr std::array<std::uint32_t, 4> kFlipTail = {21, 32, 43, 54};
constexpr const char* kMaskText = "PRIVACY ZONE";

struct ChainKind {
    Signature signature;
    std::size_t extra;  // bytes before the data: 70 for the kinds that drop n + 90
};
constexpr std::array<ChainKind, 6> kChainKinds = {{
    {{123, 456, 789, 100}, 0}, {{1000, 1001, 1002, 1003}, 0}, {{111, 222, 333, 444}, 70},
    {{555, 666, 777, 888}, 70}, {{455, 566, 677, 788}, 70}, {{9, 18, 27, 36}, 70},
}};

constexpr std::array<std::uint8_t, 5> kExtendedMarker = {0x00, 0x01, 0x02, 0x03, 0x04};
constexpr std::array<std::uint8_t, 5> kNoChecksumMarker = {0x05, 0x06, 0x07, 0x08, 0x09};
constexpr std::array<std::uint8_t, 5> kChecksumMarker = {0x0F, 0x10, 0x11, 0x12, 0x13};

void appendWord(Bytes& bytes, std::uint32_t word) {
    const std::size_t at = bytes.size();
    bytes.resize(at + 4);
    platform::storeLe32(bytes.data() + at, word);
}

void appendSignature(Bytes& bytes, const Signature& signature, std::uint32_t mask = 0) {
    for (std::uint32_t word : signature) appendWord(bytes, word ^ mask);
}

void appendPadding(Bytes& bytes) {
    appendSignature(bytes, kPaddingSignature);
}

void appendAuthenticationBlock(Bytes& bytes, std::uint32_t frameNumber) {
    appendSignature(bytes, kAuthenticationSignature);
    for (std::size_t i = 16; i < ContainerWriter::kAuthenticationBlockSize; ++i) {
        bytes.push_back(static_cast<std::uint8_t>((i * 31 + frameNumber) & 0xFF));
    }
}

void appendChainBlock(Bytes& bytes, const ChainKind& kind, std::size_t dataLength) {
    bytes.insert(bytes.end(), kind.extra, 0xC7);
    for (std::size_t i = 0; i < dataLength; ++i) bytes.push_back(static_cast<std::uint8_t>(0x40 + i % 26));
    appendWord(bytes, static_cast<std::uint32_t>(dataLength));
    appendSignature(bytes, kind.signature);
}

void scrambleHead(Bytes& bytes) {
    for (std::size_t i = 5; i < 21 && i < bytes.size(); ++i) bytes[i] ^= ContainerWriter::kByteMask;
}

enum class Checksum { None, OverReceived, OverDescrambled };

Bytes marked(const std::array<std::uint8_t, 5>& marker, std::span<const std::uint8_t> stream,
             const std::vector<ContainerMask>& masks, bool authentication, Checksum checksum,
             std::uint32_t frameNumber) {
    Bytes bytes(marker.begin(), marker.end());
    bytes.insert(bytes.end(), stream.begin(), stream.end());
    if (!masks.empty()) {
        const Bytes block = ContainerWriter::scrambledMaskBlock(masks);
        bytes.insert(bytes.end(), block.begin(), block.end());
    }
    appendPadding(bytes);
    if (authentication &&
        bytes.size() + ContainerWriter::kAuthenticationBlockSize > ContainerWriter::kAuthenticationThreshold) {
        appendAuthenticationBlock(bytes, frameNumber);
    }
    // The client descrambles the head only when the payload, without its
    // checksum (with it, for the extended-header marker), is over 24 bytes.
    const std::size_t countedLength = bytes.size() + (checksum == Checksum::OverDescrambled ? 4 : 0);
    const bool scrambled = countedLength > 24;
    if (checksum == Checksum::OverDescrambled) {
        const std::uint32_t sum = ContainerWriter::checksum(bytes, bytes.size() + 4);
        if (scrambled) scrambleHead(bytes);
        appendWord(bytes, sum);
        return bytes;
    }
    if (scrambled) scrambleHead(bytes);
    if (checksum == Checksum::OverReceived) {
        appendWord(bytes, ContainerWriter::checksum(bytes, bytes.size() + 4));
    }
    return bytes;
}

// A closing word that is not the checksum, so the client stays out of
// extended-header mode.
std::uint32_t plainClosingWord(const Bytes& bytes) {
    return ContainerWriter::checksum(bytes, bytes.size() + 4) + 1;
}

Bytes unmarkedChained(std::span<const std::uint8_t> stream, const std::vector<ContainerMask>& masks,
                      std::uint32_t frameNumber) {
    Bytes bytes(stream.begin(), stream.end());
    if (masks.empty()) {
        appendWord(bytes, plainClosingWord(bytes));
        appendPadding(bytes);
    } else {
        // The block's trailing length doubles as the closing word, which must
        // not happen to equal the checksum: a longer text changes it.
        for (std::size_t text = std::string(kMaskText).size();; ++text) {
            Bytes candidate = bytes;
            Bytes block = ContainerWriter::plainMaskBlock(masks, text);
            candidate.insert(candidate.end(), block.begin(), block.end());
            const auto length = static_cast<std::uint32_t>(block.size());
            if (length == ContainerWriter::checksum(candidate, candidate.size() + 4)) continue;
            appendWord(candidate, length);
            bytes = std::move(candidate);
            break;
        }
        appendPadding(bytes);
        appendSignature(bytes, kChainHeadSignature);
    }
    appendChainBlock(bytes, kChainKinds[frameNumber % 6], 8 + frameNumber % 24);
    appendChainBlock(bytes, kChainKinds[(frameNumber + 3) % 6], 1 + frameNumber % 40);
    appendSignature(bytes, kChainHeadSignature);
    return bytes;
}

Bytes flipTailed(std::span<const std::uint8_t> stream, const std::vector<ContainerMask>& masks) {
    Bytes bytes(stream.begin(), stream.end());
    std::uint32_t blockLength = 0;
    if (!masks.empty()) {
        const Bytes block = ContainerWriter::plainMaskBlock(masks, std::string(kMaskText).size());
        bytes.insert(bytes.end(), block.begin(), block.end());
        blockLength = static_cast<std::uint32_t>(block.size());
    }
    appendWord(bytes, blockLength);
    appendPadding(bytes);
    for (std::uint32_t word : kFlipTail) appendWord(bytes, word);
    return bytes;
}

Bytes unmarkedWithChecksum(std::span<const std::uint8_t> stream) {
    Bytes bytes(stream.begin(), stream.end());
    appendWord(bytes, ContainerWriter::checksum(bytes, bytes.size() + 4));
    appendPadding(bytes);
    return bytes;
}

// The smallest reference coordinate that the client's truncating scale
// brings to `pixel` or beyond.
std::int32_t toReference(int pixel, float scale) {
    auto reference = static_cast<std::int32_t>(std::ceil(pixel / scale));
    while (reference > 0 && static_cast<int>(static_cast<float>(reference - 1) * scale) >= pixel) {
        --reference;
    }
    while (static_cast<int>(static_cast<float>(reference) * scale) < pixel) ++reference;
    return reference;
}

bool palSize(int width, int height) {
    const bool palHeight = height == 576 || height == 288 || height == 144 || height == 240;
    const bool palWidth =
        width == 720 || width == 360 || width == 180 || width == 176 || width == 320;
    return palHeight && palWidth;
}

}  // namespace

std::uint32_t ContainerWriter::checksum(std::span<const std::uint8_t> payload,
                                        std::size_t fullLength) {
    std::uint32_t sum = 0;
    for (std::size_t offset = 0; offset + 12 < fullLength && offset < payload.size(); offset += 8) {
        sum += payload[offset];
    }
    return sum;
}

std::vector<std::uint8_t> ContainerWriter::rectangleList(const std::vector<ContainerMask>& masks) {
    Bytes list;
    appendWord(list, 0);
    appendWord(list, 0);
    appendWord(list, static_cast<std::uint32_t>(masks.size()));
    list.insert(list.end(), 20, 0);
    for (const ContainerMask& mask : masks) {
        appendWord(list, static_cast<std::uint32_t>(mask.left));
        appendWord(list, static_cast<std::uint32_t>(mask.top));
        appendWord(list, static_cast<std::uint32_t>(mask.right));
        appendWord(list, static_cast<std::uint32_t>(mask.bottom));
    }
    return list;
}

// Layout A: scrambled signature, text length, scrambled text, list size,
// list, a reserved word, then the block's length.
std::vector<std::uint8_t> ContainerWriter::scrambledMaskBlock(const std::vector<ContainerMask>& masks) {
    const std::string text = kMaskText;
    const Bytes list = rectangleList(masks);
    Bytes block;
    appendSignature(block, kMaskSignature, kWordMask);
    appendWord(block, static_cast<std::uint32_t>(text.size()));
    for (char c : text) block.push_back(static_cast<std::uint8_t>(c) ^ kByteMask);
    appendWord(block, static_cast<std::uint32_t>(list.size()));
    block.insert(block.end(), list.begin(), list.end());
    appendWord(block, 0);
    appendWord(block, static_cast<std::uint32_t>(block.size()));
    return block;
}

// Layout B: signature, a reserved word, text length, text, list size, list;
// the caller appends the length that locates it.
std::vector<std::uint8_t> ContainerWriter::plainMaskBlock(const std::vector<ContainerMask>& masks,
                                                          std::size_t textLength) {
    const Bytes list = rectangleList(masks);
    Bytes block;
    appendSignature(block, kMaskSignature);
    appendWord(block, 0);
    appendWord(block, static_cast<std::uint32_t>(textLength));
    const std::string text = kMaskText;
    for (std::size_t i = 0; i < textLength; ++i) {
        block.push_back(static_cast<std::uint8_t>(i < text.size() ? text[i] : ' '));
    }
    appendWord(block, static_cast<std::uint32_t>(list.size()));
    block.insert(block.end(), list.begin(), list.end());
    return block;
}

std::vector<ContainerMask> ContainerWriter::masksFor(const std::vector<PixelRect>& rects, int width,
                                                     int height, bool flipTail) {
    const float scaleX = static_cast<float>(width) / 360;
    float scaleY = static_cast<float>(height) / 240;
    if (palSize(width, height)) scaleY = scaleY * 240 / 288;
    std::vector<ContainerMask> masks;
    for (const PixelRect& rect : rects) {
        const int top = flipTail ? rect.y : height - rect.bottom();
        const int bottom = flipTail ? rect.bottom() : height - rect.y;
        masks.push_back({toReference(rect.x, scaleX), toReference(top, scaleY),
                         toReference(rect.right(), scaleX), toReference(bottom, scaleY)});
    }
    return masks;
}

std::vector<std::uint8_t> ContainerWriter::wrap(ContainerKind kind,
                                                std::span<const std::uint8_t> stream,
                                                const std::vector<ContainerMask>& masks,
                                                std::uint32_t frameNumber) {
    switch (kind) {
        case ContainerKind::UnmarkedChained: return unmarkedChained(stream, masks, frameNumber);
        case ContainerKind::ChecksumMarkerBlocks: {
            const std::array<std::uint8_t, 5> marker = {0x0A, 0x0B, 0x0C, 0x0D,
                                                        static_cast<std::uint8_t>(frameNumber)};
            return marked(marker, stream, masks, true, Checksum::OverReceived, frameNumber);
        }
        case ContainerKind::ChecksumMarker:
            return marked(kChecksumMarker, stream, masks, false, Checksum::OverReceived, frameNumber);
        case ContainerKind::NoChecksumMarker:
            return marked(kNoChecksumMarker, stream, masks, false, Checksum::None, frameNumber);
        case ContainerKind::ExtendedHeader:
            if (frameNumber % 2 == 1) return unmarkedWithChecksum(stream);
            return marked(kExtendedMarker, stream, masks, false, Checksum::OverDescrambled,
                          frameNumber);
        case ContainerKind::FlipTail: return flipTailed(stream, masks);
    }
    return {};
}

}  // namespace ambro::sim
