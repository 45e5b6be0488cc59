#include "tools/sim/RecordingModel.h"

#include <algorithm>
#include <cstdio>

namespace ambro::sim {

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

constexpr milliseconds kFrameInterval{1000 / RecordedFile::kFramesPerSecond};

TimePoint dayStartOf(std::uint32_t day) {
    return timePointOf(DateTime::fromFields(static_cast<int>(day / 10000),
                                            static_cast<int>(day / 100 % 100),
                                            static_cast<int>(day % 100)));
}

}  // namespace

std::string RecordedFile::path() const {
    char text[96];
    std::snprintf(text, sizeof text, "/rec/ch%02d/%04d%02d%02d/%02d0000.m4v", camera + 1,
                  startTime.year, startTime.month, startTime.day, startTime.hour);
    return text;
}

TimePoint RecordedFile::frameTime(int index) const {
    return start + index * kFrameInterval;
}

int RecordedFile::frameAt(TimePoint time) const {
    if (time <= start) return 0;
    const auto index = (time - start) / kFrameInterval;
    return static_cast<int>(std::min<long long>(index, kFrameCount - 1));
}

std::vector<std::uint16_t> RecordedFile::keyFrames() const {
    std::vector<std::uint16_t> keys;
    for (int index = 0; index < kFrameCount; index += kKeyInterval) {
        keys.push_back(static_cast<std::uint16_t>(index));
    }
    return keys;
}

RecordingModel::RecordingModel(const CameraCatalogue& cameras, int days)
    : cameras_(cameras), days_(days) {}

std::optional<RecordedFile> RecordingModel::file(int camera, TimePoint dayStart, int hour,
                                                 TimePoint now) const {
    if (!cameras_.exists(camera) || hour < 0 || hour > 23) return std::nullopt;
    // Built from the calendar fields, so a day with a clock change still
    // gets its hours right.
    DateTime start = localDateTime(dayStart);
    start.hour = static_cast<std::uint16_t>(hour);
    RecordedFile recorded;
    recorded.camera = camera;
    recorded.start = timePointOf(start);
    recorded.startTime = localDateTime(recorded.start);
    if (recorded.lastFrameTime() > now) return std::nullopt;
    if (now - recorded.start > hours(24 * days_)) return std::nullopt;
    return recorded;
}

std::vector<std::uint32_t> RecordingModel::daysOf(int camera, TimePoint now) const {
    std::vector<std::uint32_t> days;
    const TimePoint today = startOfDay(now);
    for (int back = days_ - 1; back >= 0; --back) {
        // Noon of each day keeps a clock change from skipping or doubling one.
        const TimePoint noon = startOfDay(today - hours(24 * back) + hours(12));
        const std::uint32_t day = dayNumberOf(localDateTime(noon));
        if (!filesOf(camera, day, now).empty()) days.push_back(day);
    }
    return days;
}

std::vector<RecordedFile> RecordingModel::filesOf(int camera, std::uint32_t day,
                                                  TimePoint now) const {
    std::vector<RecordedFile> files;
    for (int hour = 0; hour < 24; ++hour) {
        if (auto recorded = fileAt(camera, day, hour, now)) files.push_back(*recorded);
    }
    return files;
}

std::optional<RecordedFile> RecordingModel::fileAt(int camera, std::uint32_t day, int hour,
                                                   TimePoint now) const {
    if (day < 19700101 || day > 21001231) return std::nullopt;
    return file(camera, dayStartOf(day), hour, now);
}

std::optional<RecordedFile> RecordingModel::fileOfPath(const std::string& path,
                                                       TimePoint now) const {
    int channel = 0;
    unsigned day = 0;
    int hour = 0;
    int consumed = 0;
    if (std::sscanf(path.c_str(), "/rec/ch%2d/%8u/%2d0000.m4v%n", &channel, &day, &hour,
                    &consumed) != 3 ||
        static_cast<std::size_t>(consumed) != path.size()) {
        return std::nullopt;
    }
    auto recorded = fileAt(channel - 1, day, hour, now);
    if (recorded && recorded->path() != path) return std::nullopt;
    return recorded;
}

}  // namespace ambro::sim
