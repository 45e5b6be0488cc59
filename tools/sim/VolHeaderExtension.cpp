#include "tools/sim/VolHeaderExtension.h"

namespace ambro::sim {

namespace {

class BitCursor {
public:
    BitCursor(const std::vector<std::uint8_t>& bytes, std::size_t bitPosition)
        : bytes_(bytes), position_(bitPosition) {}

    std::optional<std::uint32_t> read(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            const std::size_t byte = position_ / 8;
            if (byte >= bytes_.size()) return std::nullopt;
            value = (value << 1) | ((bytes_[byte] >> (7 - position_ % 8)) & 1u);
            ++position_;
        }
        return value;
    }
    bool skip(int count) { return read(count).has_value(); }
    std::size_t position() const { return position_; }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t position_;
};

bool isVolStartCode(const std::vector<std::uint8_t>& stream, std::size_t at) {
    return at + 3 < stream.size() && stream[at] == 0 && stream[at + 1] == 0 &&
           stream[at + 2] == 1 && (stream[at + 3] & 0xF0) == 0x20;
}

int bitsFor(std::uint32_t resolution) {
    int bits = 1;
    while (resolution > 1 && (1u << bits) < resolution) ++bits;
    return bits;
}

void appendBits(std::vector<std::uint8_t>& out, std::size_t& bitLength, std::uint32_t value,
                int count) {
    for (int i = count - 1; i >= 0; --i) {
        if (bitLength % 8 == 0) out.push_back(0);
        if ((value >> i) & 1u) out.back() |= static_cast<std::uint8_t>(0x80u >> (bitLength % 8));
        ++bitLength;
    }
}

}  // namespace

std::optional<std::size_t> VolHeaderExtension::insertionPoint(
    const std::vector<std::uint8_t>& stream, std::size_t start) {
    BitCursor bits(stream, (start + 4) * 8);
    if (!bits.skip(1 + 8)) return std::nullopt;  // random access, object type
    std::uint32_t verid = 1;
    const auto identified = bits.read(1);
    if (!identified) return std::nullopt;
    if (*identified) {
        const auto id = bits.read(4);
        if (!id || !bits.skip(3)) return std::nullopt;
        verid = *id;
    }
    const auto aspect = bits.read(4);
    if (!aspect || (*aspect == 0xF && !bits.skip(16))) return std::nullopt;
    const auto control = bits.read(1);
    if (!control) return std::nullopt;
    if (*control) {
        if (!bits.skip(3)) return std::nullopt;  // chroma format, low delay
        const auto vbv = bits.read(1);
        if (!vbv || (*vbv && !bits.skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1))) {
            return std::nullopt;
        }
    }
    const auto shape = bits.read(2);
    if (!shape) return std::nullopt;
    if (*shape == 3 && verid != 1 && !bits.skip(4)) return std::nullopt;
    if (*shape != 0) return std::nullopt;  // only rectangular headers are extended
    const auto resolution = (bits.skip(1) ? bits.read(16) : std::nullopt);
    if (!resolution || !bits.skip(1)) return std::nullopt;
    const auto fixedRate = bits.read(1);
    if (!fixedRate || (*fixedRate && !bits.skip(bitsFor(*resolution)))) return std::nullopt;
    if (!bits.skip(1 + 13 + 1 + 13 + 1)) return std::nullopt;  // markers, width, height
    return bits.position();
}

std::vector<std::uint8_t> VolHeaderExtension::extend(
    const std::vector<std::uint8_t>& stream) {
    std::vector<std::uint8_t> out;
    out.reserve(stream.size() + 16);
    std::size_t copied = 0;  // bytes of `stream` already in `out`
    for (std::size_t at = 0; at + 3 < stream.size(); ++at) {
        if (!isVolStartCode(stream, at)) continue;
        const auto point = insertionPoint(stream, at);
        if (!point) continue;
        const std::size_t byte = *point / 8;
        const int bitsInByte = static_cast<int>(*point % 8);
        out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(copied),
                   stream.begin() + static_cast<std::ptrdiff_t>(byte));
        std::size_t bitLength = out.size() * 8;
        const std::uint8_t split = stream[byte];
        appendBits(out, bitLength, split >> (8 - bitsInByte), bitsInByte);
        appendBits(out, bitLength, kFirstWord, 32);
        appendBits(out, bitLength, kLastByte, 8);
        appendBits(out, bitLength, split & ((1u << (8 - bitsInByte)) - 1), 8 - bitsInByte);
        copied = byte + 1;
        at = byte;
    }
    out.insert(out.end(), stream.begin() + static_cast<std::ptrdiff_t>(copied), stream.end());
    return out;
}

}  // namespace ambro::sim
