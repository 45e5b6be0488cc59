#include "net/FramedMessage.h"

#include <cstring>

#include "net/StreamIo.h"
#include "platform/ByteOrder.h"

namespace ambro::net {

using platform::loadLe32;
using platform::storeLe32;

FramedHead readHead(std::span<const std::uint8_t> bytes) {
    FramedHead head;
    if (bytes.size() < kHeadSize) return head;
    head.magic = loadLe32(bytes.data());
    head.totalLength = loadLe32(bytes.data() + 4);
    head.command = loadLe32(bytes.data() + 8);
    head.parameter = loadLe32(bytes.data() + 12);
    return head;
}

FramedRequest::FramedRequest(std::uint32_t command, std::uint32_t parameter) {
    storeLe32(buffer_.data(), kClientMagic);
    storeLe32(buffer_.data() + 4, kHeadSize);
    storeLe32(buffer_.data() + 8, command);
    storeLe32(buffer_.data() + 12, parameter);
}

bool FramedRequest::appendLe16(std::uint16_t value) {
    std::uint8_t bytes[2];
    platform::storeLe16(bytes, value);
    return appendBytes(bytes);
}

bool FramedRequest::appendLe32(std::uint32_t value) {
    std::uint8_t bytes[4];
    storeLe32(bytes, value);
    return appendBytes(bytes);
}

bool FramedRequest::appendBytes(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kCapacity - length_) return false;
    if (!bytes.empty()) std::memcpy(buffer_.data() + length_, bytes.data(), bytes.size());
    length_ += bytes.size();
    storeLe32(buffer_.data() + 4, static_cast<std::uint32_t>(length_));
    return true;
}

IoResult FramedRequest::send(SocketField& socket, Deadline deadline) const {
    return sendAll(socket, buffer_.data(), static_cast<int>(length_), deadline);
}

namespace {

ReplyResult replyResultOf(IoResult io) {
    switch (io) {
        case IoResult::Done:
            return ReplyResult::Read;
        case IoResult::Closed:
            return ReplyResult::Closed;
        case IoResult::TimedOut:
            return ReplyResult::TimedOut;
        case IoResult::Failed:
            break;
    }
    return ReplyResult::Failed;
}

}  // namespace

ReplyResult readReply(SocketField& socket, std::span<std::uint8_t> buffer, Deadline deadline) {
    if (buffer.size() < 8 || buffer.size() > kMaxReplyLength) return ReplyResult::Failed;
    const IoResult head = receiveExactly(socket, buffer.data(), 8, deadline);
    if (head != IoResult::Done) return replyResultOf(head);
    const std::uint32_t totalLength = loadLe32(buffer.data() + 4);

    // A total below the 8 bytes already read cannot be a message at all.
    if (totalLength < 8 || totalLength > kMaxReplyLength) return ReplyResult::BadLength;

    if (totalLength < buffer.size()) {
        // Too short: consume it so the next reply starts where it should.
        const IoResult rest = discardExactly(socket, totalLength - 8, deadline);
        return rest == IoResult::Done ? ReplyResult::TooShort : replyResultOf(rest);
    }
    const int wanted = static_cast<int>(buffer.size() - 8);
    const IoResult body = receiveExactly(socket, buffer.data() + 8, wanted, deadline);
    if (body != IoResult::Done) return replyResultOf(body);
    return replyResultOf(discardExactly(socket, totalLength - buffer.size(), deadline));
}

}  // namespace ambro::net
