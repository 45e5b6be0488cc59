#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ambro::test {

// What a video file holds, read back with FFmpeg's libraries.
struct VideoFileContents {
    std::string container;            // the demuxer's short name, e.g. "matroska,webm"
    std::string codec;                // e.g. "mpeg4"
    int width = 0;
    int height = 0;
    std::vector<std::int64_t> timesMs;  // every packet's presentation time, in order read
    // The first picture as top-down RGB24 rows.
    std::vector<std::uint8_t> firstPicture;
};

std::optional<VideoFileContents> readVideoFile(const std::string& path);

}  // namespace ambro::test
