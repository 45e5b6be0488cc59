#include "live/SessionChannel.h"

#include <cstring>

#include "net/StreamIo.h"
#include "platform/ByteOrder.h"
#include "platform/TcpSocket.h"

namespace ambro::live {

using platform::loadLe32;

SessionChannel::SessionChannel(platform::SocketField& socket)
    : socket_(socket),
      outgoing_(std::make_unique<std::array<std::uint8_t, 8 + kMaxPayload>>()),
      incoming_(std::make_unique<std::array<std::uint8_t, kMaxPayload + 1>>()) {}

bool SessionChannel::sendMessage(std::int32_t code, std::span<const std::uint8_t> payload,
                                 Deadline deadline) {
    if (payload.size() > static_cast<std::size_t>(kMaxPayload)) return false;
    std::uint8_t* bytes = outgoing_->data();
    platform::storeLe32(bytes, static_cast<std::uint32_t>(code));
    platform::storeLe32(bytes + 4, static_cast<std::uint32_t>(payload.size()));
    if (!payload.empty()) std::memcpy(bytes + 8, payload.data(), payload.size());
    const int total = static_cast<int>(8 + payload.size());
    return net::sendAll(socket_, bytes, total, deadline) == net::IoResult::Done;
}

// One step of a message: a failed read is tried again, at most kRetries more
// times in a row, but not once its deadline has passed: bytes that come
// after a step gave up belong to its middle, and read again from the start
// of the step they would put the message out of step.
bool SessionChannel::receiveStep(std::uint8_t* bytes, int count, Deadline deadline) {
    for (int attempt = 0; attempt <= kRetries && !deadline.expired(); ++attempt) {
        if (net::receiveExactly(socket_, bytes, count, deadline) == net::IoResult::Done) {
            return true;
        }
    }
    return false;
}

bool SessionChannel::receiveMessage(Deadline deadline) {
    status_ = -1;
    length_ = 0;
    std::uint8_t word[4];
    if (!receiveStep(word, 4, deadline)) return false;
    const auto status = static_cast<std::int32_t>(loadLe32(word));
    if (!receiveStep(word, 4, deadline)) return false;
    const auto length = static_cast<std::int32_t>(loadLe32(word));
    if (length < 0 || length > kMaxPayload) return false;
    if (length > 0 && !receiveStep(incoming_->data(), length, deadline)) return false;
    (*incoming_)[static_cast<std::size_t>(length)] = 0;
    status_ = status;
    length_ = length;
    return true;
}

bool SessionChannel::waitForData(Deadline deadline) const {
    return platform::waitReadable(socket_.load(), deadline);
}

std::span<const std::uint8_t> SessionChannel::payload() const {
    return {incoming_->data(), static_cast<std::size_t>(length_)};
}

std::int32_t SessionChannel::word(std::size_t index) const {
    const std::size_t offset = index * 4;
    if (offset + 4 > static_cast<std::size_t>(length_)) return 0;
    return static_cast<std::int32_t>(loadLe32(incoming_->data() + offset));
}

std::uint16_t SessionChannel::halfWord(std::size_t offset) const {
    if (offset + 2 > static_cast<std::size_t>(length_)) return 0;
    return platform::loadLe16(incoming_->data() + offset);
}

}  // namespace ambro::live
