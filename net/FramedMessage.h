#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "net/StreamIo.h"
#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::net {

using platform::Deadline;
using platform::SocketField;

// Framed messages of current-generation servers: a 16-byte head of four
// little-endian words (magic, total length with the head, command, parameter)
// and a body.
inline constexpr std::size_t kHeadSize = 16;
inline constexpr std::uint32_t kClientMagic = 0x5178'4177;  // "wAxQ" on the wire
inline constexpr std::uint32_t kServerMagic = 0x7158'6157;  // "WaXq" on the wire

// The longest reply any request accepts; a reply announcing more is refused
// without reading it, since no request has a use for such a surplus.
inline constexpr std::uint32_t kMaxReplyLength = 1u << 20;

struct FramedHead {
    std::uint32_t magic = 0;
    std::uint32_t totalLength = 0;
    std::uint32_t command = 0;
    std::uint32_t parameter = 0;
};

FramedHead readHead(std::span<const std::uint8_t> bytes);

// A request assembled in a fixed send buffer; the total length in the head
// follows the body as it grows.
class FramedRequest {
public:
    static constexpr std::size_t kCapacity = 5120;

    FramedRequest(std::uint32_t command, std::uint32_t parameter);

    // False, and nothing appended, when the body would not fit.
    [[nodiscard]] bool appendLe16(std::uint16_t value);
    [[nodiscard]] bool appendLe32(std::uint32_t value);
    [[nodiscard]] bool appendBytes(std::span<const std::uint8_t> bytes);

    std::span<const std::uint8_t> bytes() const { return {buffer_.data(), length_}; }
    IoResult send(SocketField& socket, Deadline deadline) const;

  private:
    std::array<std::uint8_t, kCapacity> buffer_{};
    std::size_t length_ = kHeadSize;
};

// How reading one reply ended.
enum class [[nodiscard]] ReplyResult{
    Read,       // the buffer holds the reply's first bytes; any surplus was dropped
    TooShort,   // shorter than the buffer: read in full, so the stream stays aligned
    BadLength,  // a total length no reply can have; nothing more was read
    Closed,     // the stream ended as IoResult says
    TimedOut,  Failed,
};

// Reads one reply into `buffer`, which holds the expected length (at least
// the head's first 8 bytes). The buffer starts with the magic and the total
// length the server announced.
ReplyResult readReply(SocketField& socket, std::span<std::uint8_t> buffer, Deadline deadline);

}  // namespace ambro::net
