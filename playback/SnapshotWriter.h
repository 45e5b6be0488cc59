#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "media/SnapshotEncoder.h"
#include "platform/DateTime.h"

namespace ambro::playback {

// The file name of a snapshot taken at `time`, without the extension:
// year, month, day, hour, minute, second and milliseconds as digits.
std::string snapshotStem(const platform::DateTime& time);

// Encodes shown pictures as quality-100 JPEG files in one folder, named by
// the local time; an earlier file is never replaced.
class SnapshotWriter {
public:
    using Clock = std::function<platform::DateTime()>;

    // An empty clock reads the local time.
    SnapshotWriter(std::filesystem::path folder, Clock clock);

    // The bottom-up BGR picture, rows width x 3 bytes apart. The path
    // written, or none with `error` saying why.
    std::optional<std::filesystem::path> write(const std::uint8_t* picture, int width, int height,
                                               std::string& error);

private:
    const std::uint8_t* paddedRows(const std::uint8_t* picture, int width, int height);

    std::filesystem::path folder_;
    Clock clock_;
    media::SnapshotEncoder encoder_{100};
    std::vector<std::uint8_t> jpeg_;
    std::vector<std::uint8_t> padded_;
};

}  // namespace ambro::playback
