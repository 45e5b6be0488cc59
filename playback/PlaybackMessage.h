#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DateTime.h"

namespace ambro::playback {

// Every message travels behind a 5-byte prefix (a 0 byte and the message
// length) and starts with a 64-byte header.
inline constexpr std::size_t kPrefixSize = 5;
inline constexpr std::size_t kHeaderSize = 64;
inline constexpr std::uint32_t kMaxMessageLength = 262136;
// The send and receive buffers: prefix and message.
inline constexpr std::size_t kTransportBufferSize = 262144;
inline constexpr std::uint8_t kClientProtocolVersion = 25;
// A server older than this cannot serve a playback session.
inline constexpr std::uint8_t kLeastServerVersion = 5;
// Commands of this number are their header alone, in every group.
inline constexpr std::uint8_t kHeaderOnlyCommand = 7;
inline constexpr int kMostFramesPerRequest = 10;

enum class Group : std::uint8_t { Playback = 0, Session = 4, Database = 5 };

namespace command {
// Group 4
inline constexpr std::uint8_t kWorkPath = 0;
inline constexpr std::uint8_t kLogin = 4;
// Group 5
inline constexpr std::uint8_t kDay = 2;
inline constexpr std::uint8_t kFile = 8;
inline constexpr std::uint8_t kCamera = 17;
// Group 0
inline constexpr std::uint8_t kOpen = 0;
inline constexpr std::uint8_t kClose = 1;
inline constexpr std::uint8_t kFrame = 3;
inline constexpr std::uint8_t kSeek = 5;
}  // namespace command

struct MessageHeader {
    std::uint8_t version = 0;
    std::uint8_t group = 0;
    std::uint8_t command = 0;
    std::uint8_t replyExpected = 0;
    std::uint32_t senderTag = 0;
    std::uint32_t size = 0;

    static MessageHeader fromBytes(const std::uint8_t* bytes);
};

// A message as it is sent: header and body, without the transport prefix.
using Message = std::vector<std::uint8_t>;

// The identifier of the calling thread, as the sender tag carries it.
std::uint32_t currentSenderTag();

// The prefix of a message of `length` bytes.
void writePrefix(std::uint8_t* prefix, std::uint32_t length);
// The message length a received prefix announces; none for a broken stream
// (first byte not 0, or a length outside 1..kMaxMessageLength).
std::optional<std::uint32_t> announcedLength(const std::uint8_t* prefix);

Message workPathRequest();
Message loginRequest(std::string_view encodedCredentials);
Message cameraRequest(int camera, std::uint8_t databaseType);
Message dayRequest(std::uint32_t day, std::uint32_t databaseReference, std::uint8_t databaseType);
Message fileRequest(std::uint32_t databaseReference, const platform::DateTime& time,
                    std::uint8_t databaseType, bool daylightSaving);
Message openRequest(std::string_view path);
Message closeRequest(std::uint32_t fileHandle);
// Frames first .. first + count - 1 of the open file; count 1..10.
Message frameRequest(std::uint32_t fileHandle, const platform::DateTime& fileTime,
                     std::uint32_t first, int count);
Message seekRequest(std::uint32_t fileHandle, const platform::DateTime& target);

// The login text: user ":" password, each byte raised by its distance from
// the end, as two lower-case hex digits. None for an empty user name or
// password, or when the joined text exceeds 255 bytes.
std::optional<std::string> encodeCredentials(std::string_view user, std::string_view password);

}  // namespace ambro::playback
