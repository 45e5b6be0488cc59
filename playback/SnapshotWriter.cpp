#include "playback/SnapshotWriter.h"

#include <cstdio>
#include <cstring>

#include "platform/NewFile.h"

namespace ambro::playback {

std::string snapshotStem(const platform::DateTime& time) {
    char name[48];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d%03d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
    return name;
}

SnapshotWriter::SnapshotWriter(std::filesystem::path folder, Clock clock)
    : folder_(std::move(folder)), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return platform::DateTime::localNow(); };
}

std::optional<std::filesystem::path> SnapshotWriter::write(const std::uint8_t* picture, int width,
                                                           int height, std::string& error) {
    const std::size_t capacity = media::SnapshotEncoder::worstCaseSize(width, height);
    if (jpeg_.size() != capacity) jpeg_.resize(capacity);
    std::size_t size = 0;
    if (!encoder_.encodePicture(paddedRows(picture, width, height), jpeg_.data(), jpeg_.size(),
                                width, height, size)) {
        error = "the picture could not be encoded";
        return std::nullopt;
    }
    return platform::writeNewFile(folder_, snapshotStem(clock_()), ".jpg",
                                  std::span(jpeg_.data(), size), error);
}

// The encoder reads rows padded to 4 bytes; every picture width the servers
// use already is, any other is copied row by row into a padded buffer.
const std::uint8_t* SnapshotWriter::paddedRows(const std::uint8_t* picture, int width, int height) {
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    const std::size_t paddedStride = (stride + 3) / 4 * 4;
    if (paddedStride == stride) return picture;
    padded_.resize(paddedStride * static_cast<std::size_t>(height));
    for (int row = 0; row < height; ++row) {
        std::memcpy(padded_.data() + row * paddedStride, picture + row * stride, stride);
    }
    return padded_.data();
}

}  // namespace ambro::playback
