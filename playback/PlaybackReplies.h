#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace ambro::playback {

// The messages a server sends, read from a whole received message (header
// included). Every count is checked against the message and against the
// room the client keeps for it: a list longer than that room is cut, a
// message shorter than its fixed part is refused.

// The room kept for each list, from the sizes of the reply buffers.
inline constexpr std::size_t kMostKeyFrames = 2012;
inline constexpr std::size_t kMostTimeCodes = 8177;
inline constexpr std::size_t kMostRecordingDays = 32688;
// The path field holds 256 bytes with its terminator.
inline constexpr std::size_t kMostPathBytes = 255;
inline constexpr std::size_t kCameraNameBytes = 36;

struct WorkPathReply {
    std::uint8_t serverVersion = 0;
};

struct LoginReply {
    bool accepted = false;
};

struct CameraReply {
    std::string name;
    std::uint32_t databaseReference = 0;
    // Recording days as YYYYMMDD numbers, up to the first 0.
    std::vector<std::uint32_t> days;
};

struct DayReply {
    std::vector<std::uint32_t> timeCodes;
};

struct FileReply {
    std::string path;
};

struct FileInformation {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    platform::DateTime firstTime;
    platform::DateTime lastTime;
    std::uint32_t frameCount = 0;
};

struct OpenReply {
    std::uint32_t fileHandle = 0;  // 0: the file could not be opened
    FileInformation information;   // only when the handle is not 0
    std::vector<std::uint16_t> keyFrames;
};

struct SeekReply {
    std::uint32_t frameIndex = 0;
};

using MessageBytes = std::span<const std::uint8_t>;

std::optional<WorkPathReply> parseWorkPathReply(MessageBytes message);
std::optional<LoginReply> parseLoginReply(MessageBytes message);
std::optional<CameraReply> parseCameraReply(MessageBytes message);
std::optional<DayReply> parseDayReply(MessageBytes message);
// Refused as well when the path does not fit its 256-byte field: a cut path
// would name another file.
std::optional<FileReply> parseFileReply(MessageBytes message);
std::optional<OpenReply> parseOpenReply(MessageBytes message);
std::optional<SeekReply> parseSeekReply(MessageBytes message);
// The coded picture of a frame message; none when its size runs past the
// message.
std::optional<MessageBytes> framePayload(MessageBytes message);

}  // namespace ambro::playback
