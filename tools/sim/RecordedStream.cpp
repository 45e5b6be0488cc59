#include "tools/sim/RecordedStream.h"

namespace ambro::sim {

namespace {

int widthFor(RecordingSize size) {
    return size == RecordingSize::D1 ? 704 : 352;
}

int heightFor(RecordingSize size) {
    return size == RecordingSize::D1 ? 576 : 288;
}

}  // namespace

RecordedStream::RecordedStream(Installation& installation, const RecordedFile& file, bool garbage)
    : file_(file), width_(widthFor(installation.recordingSize())),
      height_(heightFor(installation.recordingSize())),
      source_(installation.synthesiser(), installation.cameras(), VideoSelection{file.camera, 1},
              VideoFormat{width_, height_, false},
              VideoOptions{garbage, ContainerKind::ChecksumMarkerBlocks, false}) {
    source_.setQuantiser(kQuantiser);
}

std::optional<VideoFrame> RecordedStream::frame(int index) {
    if (index < 0 || index >= RecordedFile::kFrameCount) return std::nullopt;
    if (index != last_ + 1 || index % RecordedFile::kKeyInterval == 0) {
        // Enter the group of the picture at its key picture.
        const int key = index - index % RecordedFile::kKeyInterval;
        source_.restart();
        for (int earlier = key; earlier < index; ++earlier) encode(earlier);
    }
    return encode(index);
}

std::optional<VideoFrame> RecordedStream::encode(int index) {
    last_ = index;
    // Recordings look from the home position; the steady time only moves
    // the domes, which recordings do not follow.
    const SceneMoment moment{file_.frameTime(index), std::chrono::steady_clock::now(), false};
    return source_.next(moment, static_cast<std::uint32_t>(index));
}

}  // namespace ambro::sim
