#include "playback/PlaybackMessage.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "platform/ByteOrder.h"

namespace ambro::playback {

namespace {

using platform::storeLe16;
using platform::storeLe32;

constexpr std::size_t kMostCredentialBytes = 255;

Message header(Group group, std::uint8_t commandNumber, bool replyExpected, std::size_t size) {
    Message message(size, 0);
    message[0] = kClientProtocolVersion;
    message[1] = static_cast<std::uint8_t>(group);
    message[2] = commandNumber;
    message[3] = replyExpected ? 1 : 0;
    storeLe32(message.data() + 4, currentSenderTag());
    storeLe32(message.data() + 8, static_cast<std::uint32_t>(size));
    return message;
}

// Requests carrying a counted text: the count at 68, the bytes from 72.
Message countedText(Group group, std::uint8_t commandNumber, std::string_view text) {
    Message message = header(group, commandNumber, true, 72 + text.size());
    storeLe32(message.data() + 68, static_cast<std::uint32_t>(text.size()));
    std::memcpy(message.data() + 72, text.data(), text.size());
    return message;
}

}  // namespace

MessageHeader MessageHeader::fromBytes(const std::uint8_t* bytes) {
    MessageHeader header;
    header.version = bytes[0];
    header.group = bytes[1];
    header.command = bytes[2];
    header.replyExpected = bytes[3];
    header.senderTag = platform::loadLe32(bytes + 4);
    header.size = platform::loadLe32(bytes + 8);
    return header;
}

std::uint32_t currentSenderTag() {
    return static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
}

void writePrefix(std::uint8_t* prefix, std::uint32_t length) {
    prefix[0] = 0;
    storeLe32(prefix + 1, length);
}

std::optional<std::uint32_t> announcedLength(const std::uint8_t* prefix) {
    if (prefix[0] != 0) return std::nullopt;
    const std::uint32_t length = platform::loadLe32(prefix + 1);
    if (length < 1 || length > kMaxMessageLength) return std::nullopt;
    return length;
}

Message workPathRequest() { return header(Group::Session, command::kWorkPath, true, 76); }

Message loginRequest(std::string_view encodedCredentials) {
    Message message = countedText(Group::Session, command::kLogin, encodedCredentials);
    message[65] = 1;
    return message;
}

Message cameraRequest(int camera, std::uint8_t databaseType) {
    Message message = header(Group::Database, command::kCamera, true, 112);
    message[64] = static_cast<std::uint8_t>(camera);
    message[66] = databaseType;
    return message;
}

Message dayRequest(std::uint32_t day, std::uint32_t databaseReference, std::uint8_t databaseType) {
    Message message = header(Group::Database, command::kDay, true, 76);
    storeLe32(message.data() + 64, day);
    storeLe32(message.data() + 68, databaseReference);
    message[72] = databaseType;
    return message;
}

Message fileRequest(std::uint32_t databaseReference, const platform::DateTime& time,
                    std::uint8_t databaseType, bool daylightSaving) {
    Message message = header(Group::Database, command::kFile, true, 88);
    storeLe32(message.data() + 64, databaseReference);
    time.toBytes(message.data() + 68);
    message[84] = databaseType;
    message[85] = daylightSaving ? 1 : 0;
    return message;
}

Message openRequest(std::string_view path) {
    return countedText(Group::Playback, command::kOpen, path);
}

Message closeRequest(std::uint32_t fileHandle) {
    Message message = header(Group::Playback, command::kClose, false, 68);
    storeLe32(message.data() + 64, fileHandle);
    return message;
}

Message frameRequest(std::uint32_t fileHandle, const platform::DateTime& fileTime,
                     std::uint32_t first, int count) {
    Message message = header(Group::Playback, command::kFrame, false, 96 + 2 * count);
    message[64] = 1;
    message[65] = 1;
    storeLe16(message.data() + 66, static_cast<std::uint16_t>(count));
    storeLe32(message.data() + 72, fileHandle);
    fileTime.toBytes(message.data() + 80);
    for (int i = 0; i < count; ++i) {
        storeLe16(message.data() + 96 + 2 * i, static_cast<std::uint16_t>(first + i));
    }
    return message;
}

Message seekRequest(std::uint32_t fileHandle, const platform::DateTime& target) {
    Message message = header(Group::Playback, command::kSeek, true, 88);
    storeLe32(message.data() + 68, fileHandle);
    target.toBytes(message.data() + 72);
    return message;
}

std::optional<std::string> encodeCredentials(std::string_view user, std::string_view password) {
    if (user.empty() || password.empty()) return std::nullopt;
    const std::string joined = std::string(user) + ":" + std::string(password);
    if (joined.size() > kMostCredentialBytes) return std::nullopt;
    const std::size_t n = joined.size();
    std::string encoded;
    encoded.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto shifted = static_cast<std::uint8_t>(static_cast<std::uint8_t>(joined[i]) + (n - i));
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", shifted);
        encoded += digits;
    }
    return encoded;
}

}  // namespace ambro::playback
