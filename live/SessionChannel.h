#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::live {

using platform::Deadline;

// The request/reply messages of an older-generation session on its session
// socket, both ways the same: a little-endian int32 code (status in
// replies), an int32 payload length of 0 to 40951, the payload. The
// incoming payload is followed by a zero byte.
class SessionChannel {
public:
    static constexpr std::int32_t kMaxPayload = 40951;
    // Reply statuses.
    static constexpr std::int32_t kFinalReply = 255;
    static constexpr std::int32_t kVideoPacket = 41;
    static constexpr std::int32_t kAudioPacket = 40;
    // Failed reads of one step are tried again this many times.
    static constexpr int kRetries = 3;

    explicit SessionChannel(platform::SocketField& socket);

    bool sendMessage(std::int32_t code, std::span<const std::uint8_t> payload, Deadline deadline);
    // Reads one whole message; a length outside 0..40951 fails without a
    // byte of it being read into the buffer.
    bool receiveMessage(Deadline deadline);
    // Waits until bytes arrive or the deadline passes; true when there are
    // bytes to read (or the connection ended, which the next read tells).
    bool waitForData(Deadline deadline) const;

    std::int32_t status() const { return status_; }
    void setStatus(std::int32_t status) { status_ = status; }
    std::span<const std::uint8_t> payload() const;
    // Payload word i (little-endian int32), 0 beyond the payload.
    std::int32_t word(std::size_t index) const;
    std::uint16_t halfWord(std::size_t offset) const;

private:
    bool receiveStep(std::uint8_t* bytes, int count, Deadline deadline);

    platform::SocketField& socket_;
    std::unique_ptr<std::array<std::uint8_t, 8 + kMaxPayload>> outgoing_;
    std::unique_ptr<std::array<std::uint8_t, kMaxPayload + 1>> incoming_;
    std::int32_t status_ = -1;
    std::int32_t length_ = 0;
};

}  // namespace ambro::live
