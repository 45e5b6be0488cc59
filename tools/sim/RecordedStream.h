#pragma once

#include <optional>

#include "tools/sim/Installation.h"
#include "tools/sim/RecordingModel.h"
#include "tools/sim/VideoSource.h"

namespace ambro::sim {

// The pictures of one opened recorded file, made when they are asked for.
// Each group of pictures starts with a fresh encoder on its key picture, so
// a picture comes out the same whether the file is played through or entered
// by a seek.
class RecordedStream {
public:
    static constexpr int kQuantiser = 5;

    RecordedStream(Installation& installation, const RecordedFile& file, bool garbage);

    const RecordedFile& file() const { return file_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // None for an index outside the file.
    std::optional<VideoFrame> frame(int index);

private:
    std::optional<VideoFrame> encode(int index);

    RecordedFile file_;
    int width_;
    int height_;
    VideoSource source_;
    int last_ = -1;  // the picture the encoder made last
};

}  // namespace ambro::sim
