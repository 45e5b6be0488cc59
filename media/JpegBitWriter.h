#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ambro::media {

// Writes a JPEG byte stream into a buffer of fixed capacity. Entropy-coded
// bits are packed most significant first with a 00 byte stuffed after every
// FF. Nothing is ever written past the capacity: the first byte that does not
// fit marks the writer overflowed and later bytes are dropped.
class JpegBitWriter {
public:
    JpegBitWriter(std::uint8_t* output, std::size_t capacity)
        : start_(output), position_(output), end_(output + capacity) {}

    // Header bytes, written as they are.
    void putByte(std::uint8_t byte) { emit(byte); }
    void putWord(std::uint16_t word) {
        emit(static_cast<std::uint8_t>(word >> 8));
        emit(static_cast<std::uint8_t>(word));
    }

    // The low `count` bits of `value` (count at most 32).
    void putBits(std::uint32_t value, int count) {
        putExactBits(value & static_cast<std::uint32_t>((std::uint64_t{1} << count) - 1), count);
    }

    // `value` has no bits above the lowest `count` (count at most 32).
    void putExactBits(std::uint32_t value, int count) {
        buffer_ = (buffer_ << count) | value;
        count_ += count;
        if (count_ >= 32) flushWord();
    }

    // Completes the last byte with 1-bits and writes out what is pending.
    void flushWithOnes() {
        const int padding = (8 - (count_ & 7)) & 7;
        putBits((1u << padding) - 1, padding);
        drainWholeBytes();
    }

    bool overflowed() const { return overflowed_; }
    std::size_t size() const { return static_cast<std::size_t>(position_ - start_); }

private:
    void emit(std::uint8_t byte) {
        if (position_ == end_) {
            overflowed_ = true;
            return;
        }
        *position_++ = byte;
    }
    // Writes the oldest 32 pending bits: in one store when none of the four
    // bytes is FF and they fit, else byte by byte with stuffing.
    void flushWord() {
        count_ -= 32;
        const auto word = static_cast<std::uint32_t>(buffer_ >> count_);
        const std::uint32_t inverted = ~word;
        const bool hasFf = ((inverted - 0x01010101u) & ~inverted & 0x80808080u) != 0;
        if (!hasFf && end_ - position_ >= 4) {
            const std::uint32_t bigEndian = __builtin_bswap32(word);
            std::memcpy(position_, &bigEndian, 4);
            position_ += 4;
            return;
        }
        for (int shift = 24; shift >= 0; shift -= 8) {
            const auto byte = static_cast<std::uint8_t>(word >> shift);
            emit(byte);
            if (byte == 0xFF) emit(0x00);
        }
    }
    void drainWholeBytes() {
        while (count_ >= 8) {
            const auto byte = static_cast<std::uint8_t>(buffer_ >> (count_ - 8));
            emit(byte);
            if (byte == 0xFF) emit(0x00);
            count_ -= 8;
        }
    }

    std::uint8_t* start_;
    std::uint8_t* position_;
    std::uint8_t* end_;
    std::uint64_t buffer_ = 0;
    int count_ = 0;
    bool overflowed_ = false;
};

}  // namespace ambro::media
