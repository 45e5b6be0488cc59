#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ambro::media {

// Writes a JPEG byte stream into a buffer of fixed capacity. Entropy-coded
// bits are packed most significant first with a 00 byte stuffed after every
// FF. Nothing is ever written past the capacity: the first byte that does not
// fit marks the writer overflowed and later bytes are dropped.
//
// Bits gather in a 64-bit word that is written out whole once full: in one
// 8-byte store when none of its bytes is FF, else byte by byte. Where the
// caller knows that the room left holds everything it will write (see
// hasRoom), an Unchecked writer does the same without bound checks and with
// only three values of state, which the compiler keeps in registers.
class JpegBitWriter {
public:
    JpegBitWriter(std::uint8_t* output, std::size_t capacity)
        : start_(output), position_(output), end_(output + capacity) {}

    // Header bytes, written as they are.
    void putByte(std::uint8_t byte) {
        if (position_ == end_) {
            overflowed_ = true;
            return;
        }
        *position_++ = byte;
    }
    void putWord(std::uint16_t word) {
        putByte(static_cast<std::uint8_t>(word >> 8));
        putByte(static_cast<std::uint8_t>(word));
    }

    // `value` has no bits above the lowest `count` (count at most 32).
    [[gnu::always_inline]] void putExactBits(std::uint64_t value, int count) {
        pack(buffer_, freeBits_, value, count, [this](std::uint64_t word) { writeWord(word); });
    }

    // The low `count` bits of `value` (count at most 32).
    void putBits(std::uint32_t value, int count) {
        putExactBits(value & ((std::uint64_t{1} << count) - 1), count);
    }

    // Completes the last byte with 1-bits and writes out what is pending.
    void flushWithOnes() {
        const int pending = 64 - freeBits_;
        const int padding = (8 - (pending & 7)) & 7;
        std::uint64_t word = pending == 0 ? 0 : buffer_ << (freeBits_ & 63);
        if (padding != 0) word |= ((std::uint64_t{1} << padding) - 1) << (64 - pending - padding);
        const Written written = writeBytes(position_, end_, word, (pending + padding) / 8);
        position_ = written.position;
        overflowed_ = overflowed_ || written.overflowed;
        buffer_ = 0;
        freeBits_ = 64;
    }

    // Whether `bytes` more bytes of entropy-coded data, with their stuffing
    // and whatever is pending now, fit.
    bool hasRoom(std::size_t bytes) const {
        return static_cast<std::size_t>(end_ - position_) >= bytes + 2 * sizeof buffer_;
    }

    bool overflowed() const { return overflowed_; }
    std::size_t size() const { return static_cast<std::size_t>(position_ - start_); }

    // The bit state of a writer, written on without bound checks while the
    // writer's room (hasRoom) covers everything put; handed back by finish.
    class Unchecked {
    public:
        explicit Unchecked(const JpegBitWriter& writer)
            : buffer_(writer.buffer_), freeBits_(writer.freeBits_), position_(writer.position_) {}

        [[gnu::always_inline]] void putExactBits(std::uint64_t value, int count) {
            pack(buffer_, freeBits_, value, count, [this](std::uint64_t word) {
                if (hasFf(word)) {
                    position_ = writeStuffed(position_, word);
                    return;
                }
                storeBigEndian(position_, word);
                position_ += 8;
            });
        }

        void finish(JpegBitWriter& writer) const {
            writer.buffer_ = buffer_;
            writer.freeBits_ = freeBits_;
            writer.position_ = position_;
        }

    private:
        std::uint64_t buffer_;
        int freeBits_;
        std::uint8_t* position_;
    };

private:
    struct Written {
        std::uint8_t* position;
        bool overflowed;
    };

    // Adds `count` bits to the buffer; once its word is full, hands the word
    // to `write` and keeps the bits that did not fit.
    template <typename WriteWord>
    [[gnu::always_inline]] static void pack(std::uint64_t& buffer, int& freeBits,
                                            std::uint64_t value, int count, WriteWord write) {
        freeBits -= count;
        if (freeBits >= 0) {
            buffer = (buffer << count) | value;
            return;
        }
        // The word's last -freeBits bits are the top of `value`. The bits of
        // `value` that went out stay in the buffer, to be shifted out of its
        // top by the next 64 bits.
        const int spill = -freeBits;
        write((buffer << (count - spill)) | (value >> spill));
        buffer = value;
        freeBits += 64;
    }

    // Whether a byte of `word` is FF. SSE2 (there on every x86-64) compares
    // in a vector register, where the test needs no general register for
    // constants.
    [[gnu::always_inline]] static bool hasFf(std::uint64_t word) {
#if defined(__SSE2__)
        const __m128i bytes = _mm_cvtsi64_si128(static_cast<long long>(word));
        return (_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(-1))) & 0xFF) != 0;
#else
        return ((~word - 0x0101010101010101ULL) & word & 0x8080808080808080ULL) != 0;
#endif
    }

    static void storeBigEndian(std::uint8_t* at, std::uint64_t word) {
        const std::uint64_t bigEndian = __builtin_bswap64(word);
        std::memcpy(at, &bigEndian, 8);
    }

    [[gnu::always_inline]] void writeWord(std::uint64_t word) {
        if (!hasFf(word) && end_ - position_ >= 8) {
            storeBigEndian(position_, word);
            position_ += 8;
            return;
        }
        const Written written = writeBytes(position_, end_, word, 8);
        position_ = written.position;
        overflowed_ = overflowed_ || written.overflowed;
    }

    // The top `count` bytes of `word`, each FF followed by 00, as far as
    // they fit. Takes and returns values only, so that the writer's own
    // fields never need to be in memory.
    [[gnu::noinline]] static Written writeBytes(std::uint8_t* position, std::uint8_t* end,
                                                std::uint64_t word, int count) {
        for (int i = 0; i < count; ++i) {
            const auto byte = static_cast<std::uint8_t>(word >> (56 - 8 * i));
            for (int copy = 0; copy < (byte == 0xFF ? 2 : 1); ++copy) {
                if (position == end) return {position, true};
                *position++ = copy == 0 ? byte : 0x00;
            }
        }
        return {position, false};
    }

    // The same with room known to be there.
    [[gnu::noinline]] static std::uint8_t* writeStuffed(std::uint8_t* position,
                                                        std::uint64_t word) {
        for (int shift = 56; shift >= 0; shift -= 8) {
            const auto byte = static_cast<std::uint8_t>(word >> shift);
            *position++ = byte;
            if (byte == 0xFF) *position++ = 0x00;
        }
        return position;
    }

    std::uint8_t* start_;
    std::uint8_t* position_;
    std::uint8_t* end_;
    std::uint64_t buffer_ = 0;
    int freeBits_ = 64;  // room left in the buffer's word
    bool overflowed_ = false;
};

}  // namespace ambro::media
