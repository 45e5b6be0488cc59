#include "playback/PlaybackTime.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>

namespace ambro::playback {

std::optional<platform::DateTime> timeAtFrame(const FileInformation& file, std::int64_t position) {
    const auto first = file.firstTime.toFileTime();
    const auto last = file.lastTime.toFileTime();
    const std::int64_t total = file.frameCount;
    if (!first || !last || total <= 0 || position < 0) return std::nullopt;
    // 128-bit, so that no span and position from a server can overflow.
    const __int128 offset = static_cast<__int128>(*last - *first) * position / total;
    const __int128 time = *first + offset;
    if (time < 0 || time > INT64_MAX) return std::nullopt;
    return platform::DateTime::fromFileTime(static_cast<std::int64_t>(time));
}

std::string pictureTimeText(const platform::DateTime& time) {
    char text[40];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second);
    return text;
}

std::chrono::microseconds frameInterval(const FileInformation& file) {
    const auto first = file.firstTime.toFileTime();
    const auto last = file.lastTime.toFileTime();
    if (!first || !last || *last <= *first || file.frameCount == 0) return {};
    constexpr std::int64_t kStepsPerMicrosecond = 10;
    return std::chrono::microseconds((*last - *first) / kStepsPerMicrosecond / file.frameCount);
}

int restartFrame(const std::vector<std::uint16_t>& keyFrames, std::uint32_t frame) {
    int restart = static_cast<int>(std::min<std::uint32_t>(frame, INT_MAX));
    for (const std::uint16_t key : keyFrames) {
        if (key > frame) break;
        restart = key;
    }
    return restart;
}

}  // namespace ambro::playback
