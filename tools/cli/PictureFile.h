#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "tools/cli/VideoFileWriter.h"

namespace ambro::cli {

// The video file of a recording or an export: the first picture opens it
// with that picture's size, and pictures of another size (the server changed
// it) are left out. Times are taken from the first picture. Not locked: its
// owner serialises the calls.
class PictureFile {
public:
    PictureFile(std::string file, std::string codec)
        : file_(std::move(file)), codec_(std::move(codec)) {}

    // The time of the picture that opened the file, once one has.
    std::optional<std::int64_t> firstTimeMs() const { return firstTimeMs_; }
    // Writes the picture at `timeMs` (any origin; the file starts at its
    // first picture). False when it was not written: another size, or an
    // error, which failed() then reports.
    bool add(const std::uint8_t* pixels, std::size_t stride, int width, int height,
             std::int64_t timeMs);
    bool failed() const { return !error_.empty(); }
    int framesWritten() const { return writer_ ? writer_->framesWritten() : 0; }
    // Once the session is closed: the file finished when `complete`, or
    // nothing left behind and the reason told (`what` is "recording" or
    // "export"). Returns the command's exit status.
    int finish(bool complete, const std::string& what, const std::string& why, std::ostream& out,
               std::ostream& err);

private:
    std::string file_;
    std::string codec_;
    std::unique_ptr<VideoFileWriter> writer_;
    int width_ = 0;
    int height_ = 0;
    std::optional<std::int64_t> firstTimeMs_;
    std::string error_;
};

}  // namespace ambro::cli
