#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace ambro::cli {

// Encodes pictures into a video file with FFmpeg's libraries: the container
// from the file's extension (.mkv, .mp4, .avi, ...), MPEG-4 Part 2 at high
// quality unless another encoder is named. The file is written under a
// temporary name beside it and appears under its own name only when
// finished; a writer that is not finished removes what it wrote.
class VideoFileWriter {
public:
    struct Settings {
        std::filesystem::path file;
        int width = 0;
        int height = 0;
        std::string codec = "mpeg4";
    };

    // Whether FFmpeg knows a container for the file's name, and an encoder
    // of this name: what a command checks before it connects.
    static bool knowsContainer(const std::filesystem::path& file);
    static bool knowsEncoder(const std::string& codec);

    // None, with `error` saying why, when the file or the encoder cannot be
    // set up.
    static std::unique_ptr<VideoFileWriter> open(const Settings& settings, std::string& error);
    ~VideoFileWriter();

    VideoFileWriter(const VideoFileWriter&) = delete;
    VideoFileWriter& operator=(const VideoFileWriter&) = delete;

    // One picture: bottom-up BGR rows `stride` bytes apart, shown at
    // `timeMs` milliseconds after the first picture (times that do not go
    // forward are moved one millisecond past the last).
    bool write(const std::uint8_t* pixels, std::size_t stride, std::int64_t timeMs,
               std::string& error);
    // Flushes the encoder, closes the file and gives it its name.
    bool finish(std::string& error);

    int framesWritten() const { return frames_; }

private:
    struct Parts;
    explicit VideoFileWriter(std::unique_ptr<Parts> parts);
    bool drain(bool flushing, std::string& error);

    std::unique_ptr<Parts> parts_;
    int frames_ = 0;
    std::int64_t lastPts_ = -1;
    bool finished_ = false;
};

}  // namespace ambro::cli
