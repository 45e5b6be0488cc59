#include "playback/PlaybackReplies.h"

#include <algorithm>

#include "net/FixedText.h"
#include "platform/ByteOrder.h"

namespace ambro::playback {

namespace {

using platform::loadLe16;
using platform::loadLe32;

constexpr std::size_t kWorkPathFixed = 68;
constexpr std::size_t kLoginFixed = 104;
constexpr std::size_t kCameraFixed = 128;
constexpr std::size_t kDayFixed = 68;
constexpr std::size_t kFileFixed = 68;
constexpr std::size_t kOpenFixed = 72;
constexpr std::size_t kFileInformationSize = 76;
constexpr std::size_t kSeekFixed = 84;
constexpr std::size_t kFrameFixed = 128;

// How many items of `itemSize` bytes from `offset` the message really holds,
// at most `announced` and at most `room`.
std::size_t itemsPresent(MessageBytes message, std::size_t offset, std::size_t itemSize,
                         std::size_t announced, std::size_t room) {
    const std::size_t available = message.size() > offset ? (message.size() - offset) / itemSize : 0;
    return std::min({announced, available, room});
}

FileInformation readFileInformation(const std::uint8_t* bytes) {
    FileInformation information;
    information.width = loadLe32(bytes + 4);
    information.height = loadLe32(bytes + 8);
    information.firstTime = platform::DateTime::fromBytes(bytes + 40);
    information.lastTime = platform::DateTime::fromBytes(bytes + 56);
    information.frameCount = loadLe32(bytes + 72);
    return information;
}

}  // namespace

std::optional<WorkPathReply> parseWorkPathReply(MessageBytes message) {
    if (message.size() < kWorkPathFixed) return std::nullopt;
    return WorkPathReply{message[0]};
}

std::optional<LoginReply> parseLoginReply(MessageBytes message) {
    if (message.size() < kLoginFixed) return std::nullopt;
    return LoginReply{message[64] != 0};
}

// The block of B bytes comes first on the wire, the N days after it.
std::optional<CameraReply> parseCameraReply(MessageBytes message) {
    if (message.size() < kCameraFixed) return std::nullopt;
    CameraReply reply;
    reply.name = net::fixedText(message.subspan(72, kCameraNameBytes));
    reply.databaseReference = loadLe32(message.data() + 108);
    const std::size_t blockBytes = message[64];
    const std::size_t daysAt = kCameraFixed + blockBytes;
    const std::size_t count =
        itemsPresent(message, daysAt, 4, loadLe16(message.data() + 66), kMostRecordingDays);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t day = loadLe32(message.data() + daysAt + 4 * i);
        if (day == 0) break;
        reply.days.push_back(day);
    }
    return reply;
}

std::optional<DayReply> parseDayReply(MessageBytes message) {
    if (message.size() < kDayFixed) return std::nullopt;
    DayReply reply;
    const std::size_t count =
        itemsPresent(message, kDayFixed, 4, loadLe16(message.data() + 66), kMostTimeCodes);
    reply.timeCodes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        reply.timeCodes.push_back(loadLe32(message.data() + kDayFixed + 4 * i));
    }
    return reply;
}

std::optional<FileReply> parseFileReply(MessageBytes message) {
    if (message.size() < kFileFixed) return std::nullopt;
    const std::size_t length = loadLe16(message.data() + 66);
    if (length > kMostPathBytes || kFileFixed + length > message.size()) return std::nullopt;
    // The path is kept as a zero-terminated text, so it ends at its first 0.
    return FileReply{net::fixedText(message.subspan(kFileFixed, length))};
}

std::optional<OpenReply> parseOpenReply(MessageBytes message) {
    if (message.size() < kOpenFixed) return std::nullopt;
    OpenReply reply;
    reply.fileHandle = loadLe32(message.data() + 68);
    if (reply.fileHandle == 0) return reply;
    if (message.size() < kOpenFixed + kFileInformationSize) return std::nullopt;
    reply.information = readFileInformation(message.data() + kOpenFixed);
    const std::size_t keysAt = kOpenFixed + kFileInformationSize;
    const std::size_t count =
        itemsPresent(message, keysAt, 2, loadLe16(message.data() + 64), kMostKeyFrames);
    reply.keyFrames.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        reply.keyFrames.push_back(loadLe16(message.data() + keysAt + 2 * i));
    }
    return reply;
}

std::optional<SeekReply> parseSeekReply(MessageBytes message) {
    if (message.size() < kSeekFixed) return std::nullopt;
    return SeekReply{loadLe32(message.data() + 64)};
}

std::optional<MessageBytes> framePayload(MessageBytes message) {
    if (message.size() < kFrameFixed) return std::nullopt;
    const std::uint32_t size = loadLe32(message.data() + 72);
    if (size > message.size() - kFrameFixed) return std::nullopt;
    return message.subspan(kFrameFixed, size);
}

}  // namespace ambro::playback
