#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/DateTime.h"
#include "playback/PlaybackReplies.h"

namespace ambro::playback {

// The recording time at frame `position` of a file: first time + (last time
// - first time) x position / frame count, in 100-ns steps. None when the
// file has no frames or its times are not valid dates.
std::optional<platform::DateTime> timeAtFrame(const FileInformation& file, std::int64_t position);

// "YYYY/MM/DD hh:mm:ss"
std::string pictureTimeText(const platform::DateTime& time);

// The recorded time between two frames; 0 when the file does not tell.
std::chrono::microseconds frameInterval(const FileInformation& file);

// Where playback restarts after a seek to `frame`: the last key frame at or
// below it, or `frame` itself below the first key frame or without any.
int restartFrame(const std::vector<std::uint16_t>& keyFrames, std::uint32_t frame);

}  // namespace ambro::playback
