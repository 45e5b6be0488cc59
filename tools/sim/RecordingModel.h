#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/CameraCatalogue.h"
#include "tools/sim/LocalTime.h"

namespace ambro::sim {

// One recorded file: ten minutes from the start of an hour at 25 pictures a
// second, a key picture every 30.
struct RecordedFile {
    static constexpr int kFramesPerSecond = 25;
    static constexpr int kFrameCount = 10 * 60 * kFramesPerSecond;
    static constexpr int kKeyInterval = 30;

    int camera = 0;  // 0-based
    TimePoint start;
    DateTime startTime;

    std::string path() const;
    TimePoint frameTime(int index) const;
    TimePoint lastFrameTime() const { return frameTime(kFrameCount - 1); }
    // The frame shown at `time`, within the file.
    int frameAt(TimePoint time) const;
    std::vector<std::uint16_t> keyFrames() const;
};

// The recording database: for each camera the last few days up to now, a
// file for every hour whose ten minutes have passed. Nothing is stored;
// files and their pictures are made when asked for.
class RecordingModel {
public:
    RecordingModel(const CameraCatalogue& cameras, int days);

    // YYYYMMDD numbers, oldest first.
    std::vector<std::uint32_t> daysOf(int camera, TimePoint now) const;
    std::vector<RecordedFile> filesOf(int camera, std::uint32_t day, TimePoint now) const;
    std::optional<RecordedFile> fileAt(int camera, std::uint32_t day, int hour, TimePoint now) const;
    std::optional<RecordedFile> fileOfPath(const std::string& path, TimePoint now) const;

private:
    std::optional<RecordedFile> file(int camera, TimePoint dayStart, int hour, TimePoint now) const;

    const CameraCatalogue& cameras_;
    int days_;
};

}  // namespace ambro::sim
