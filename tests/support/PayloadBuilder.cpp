#include "tests/support/PayloadBuilder.h"

#include <algorithm>

#include "media/FrameContainer.h"

namespace ambro::test {

namespace {

constexpr std::uint32_t kWordMask = 0x6B19E45C;
constexpr std::uint8_t kByteMask = 0x5C;

void appendWord(Bytes& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void scrambleHead(Bytes& payload) {
    for (std::size_t i = 5; i < 21; ++i) payload[i] ^= kByteMask;
}

}  // namespace

Bytes markerBytes(PayloadMarker marker) {
    switch (marker) {
        case PayloadMarker::ExtendedHeader: return {0, 1, 2, 3, 4};
        case PayloadMarker::NoChecksum: return {5, 6, 7, 8, 9};
        case PayloadMarker::ChecksumA: return {0x0A, 0x0B, 0x0C, 0x0D, 0xFF};
        case PayloadMarker::ChecksumF: return {0x0F, 0x10, 0x11, 0x12, 0x13};
        case PayloadMarker::None: return {};
    }
    return {};
}

PayloadBuilder::PayloadBuilder(PayloadMarker marker, Bytes stream) : marker_(marker) {
    const Bytes head = markerBytes(marker);
    body_.resize(head.size() + stream.size());
    std::copy(head.begin(), head.end(), body_.begin());
    std::copy(stream.begin(), stream.end(), body_.begin() + static_cast<std::ptrdiff_t>(head.size()));
}

Bytes PayloadBuilder::rectangleList(const std::vector<media::MaskRect>& rects) {
    Bytes list;
    appendWord(list, 0);
    appendWord(list, 0);
    appendWord(list, static_cast<std::uint32_t>(rects.size()));
    list.resize(32, 0);
    for (const auto& rect : rects) {
        for (std::int32_t value : {rect.left, rect.top, rect.right, rect.bottom}) {
            appendWord(list, static_cast<std::uint32_t>(value));
        }
    }
    return list;
}

PayloadBuilder& PayloadBuilder::scrambledMaskBlock(const Bytes& list, std::uint32_t textLength) {
    const std::size_t start = body_.size();
    for (std::uint32_t word : {101u, 202u, 303u, 404u}) appendWord(body_, word ^ kWordMask);
    appendWord(body_, textLength);
    for (std::uint32_t i = 0; i < textLength; ++i) body_.push_back('t' ^ kByteMask);
    appendWord(body_, static_cast<std::uint32_t>(list.size()));
    body_.insert(body_.end(), list.begin(), list.end());
    appendWord(body_, 0);  // reserved
    appendWord(body_, static_cast<std::uint32_t>(body_.size() - start));
    return *this;
}

PayloadBuilder& PayloadBuilder::plainMaskBlock(const Bytes& list, bool withWord) {
    const std::size_t start = body_.size();
    signature({101, 202, 303, 404});
    appendWord(body_, 0);  // reserved
    appendWord(body_, 2);
    body_.push_back('t');
    body_.push_back('x');
    appendWord(body_, static_cast<std::uint32_t>(list.size()));
    body_.insert(body_.end(), list.begin(), list.end());
    lastBlockSize_ = static_cast<std::uint32_t>(body_.size() - start);
    if (withWord) appendWord(body_, lastBlockSize_);
    return *this;
}

PayloadBuilder& PayloadBuilder::word(std::uint32_t value) {
    appendWord(body_, value);
    return *this;
}

PayloadBuilder& PayloadBuilder::signature(const std::array<std::uint32_t, 4>& words) {
    for (std::uint32_t value : words) appendWord(body_, value);
    return *this;
}

PayloadBuilder& PayloadBuilder::padding() { return signature({243, 254, 265, 276}); }

PayloadBuilder& PayloadBuilder::authentication() {
    signature({220, 211, 111, 220});
    body_.resize(body_.size() + 1024 + 128, 0xA5);
    return *this;
}

PayloadBuilder& PayloadBuilder::chainHead() { return signature({142, 153, 164, 175}); }

PayloadBuilder& PayloadBuilder::chainBlock(const std::array<std::uint32_t, 4>& kind,
                                           std::uint32_t n, std::uint32_t extra) {
    body_.resize(body_.size() + (extra - 20) + n, 0xC3);
    appendWord(body_, n);
    return signature(kind);
}

PayloadBuilder& PayloadBuilder::flipTail() { return signature({21, 32, 43, 54}); }

PayloadBuilder& PayloadBuilder::closingWord(bool validChecksum) {
    const std::uint32_t checksum = media::payloadChecksum(body_, body_.size() + 4);
    return word(validChecksum ? checksum : checksum + 1);
}

PayloadBuilder& PayloadBuilder::bytes(const Bytes& more) {
    body_.insert(body_.end(), more.begin(), more.end());
    return *this;
}

Bytes PayloadBuilder::build() const {
    Bytes payload = body_;
    switch (marker_) {
        case PayloadMarker::None:
            break;
        case PayloadMarker::NoChecksum:
            if (payload.size() > 24) scrambleHead(payload);
            break;
        case PayloadMarker::ExtendedHeader: {
            // The checksum covers the head as it is before scrambling.
            const std::uint32_t checksum = media::payloadChecksum(payload, payload.size() + 4);
            if (payload.size() + 4 > 24) scrambleHead(payload);
            appendWord(payload, checksum);
            break;
        }
        case PayloadMarker::ChecksumA:
        case PayloadMarker::ChecksumF:
            if (payload.size() > 24) scrambleHead(payload);
            appendWord(payload, media::payloadChecksum(payload, payload.size() + 4));
            break;
    }
    return payload;
}

}  // namespace ambro::test
