#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "tools/sim/CameraCatalogue.h"
#include "tools/sim/ContainerWriter.h"
#include "tools/sim/Mpeg4Encoder.h"
#include "tools/sim/PictureSynthesiser.h"

namespace ambro::sim {

// What a stream shows: one camera, or a view of grid x grid cameras from
// `camera` on, composed by the server.
struct VideoSelection {
    int camera = 0;  // 0-based
    int grid = 1;
};

struct VideoFormat {
    int width = 352;
    int height = 288;
    bool rotated = false;  // turned 90 degrees clockwise: width and height swap on the wire
};

struct VideoOptions {
    bool garbage = false;                     // random bytes instead of pictures
    std::optional<ContainerKind> container;   // instead of the camera's own kind
    bool privacyMasks = true;
};

struct VideoFrame {
    std::vector<std::uint8_t> payload;  // one picture in its frame container
    bool key = false;
};

// Draws, encodes and wraps the pictures of one stream that a client watches.
// Pictures are made only when asked for, so an unwatched camera costs nothing.
class VideoSource {
public:
    static constexpr int kDefaultQuantiser = 5;

    VideoSource(PictureSynthesiser& synthesiser, const CameraCatalogue& cameras,
                VideoSelection selection, VideoFormat format, VideoOptions options = {});

    void setQuantiser(int quantiser) { quantiser_ = quantiser; }
    // Pictures whose payload would be longer are coded again as key pictures
    // with coarser quantisers; none is returned when even that does not fit.
    void setPayloadLimit(std::size_t limit) { payloadLimit_ = limit; }
    void requestKeyFrame() { keyRequested_ = true; }
    // Starts a fresh encoder: the next picture is a key picture coded exactly
    // as it would be at the start of a stream.
    void restart();

    // The picture of `moment`; `frameNumber` varies the container's blocks.
    std::optional<VideoFrame> next(const SceneMoment& moment, std::uint32_t frameNumber);

    int wireWidth() const { return format_.rotated ? format_.height : format_.width; }
    int wireHeight() const { return format_.rotated ? format_.width : format_.height; }
    // The mask rectangles of the picture as the wire carries it, top-down.
    std::vector<PixelRect> wireMasks() const;

private:
    std::optional<VideoFrame> encodeWithin(const YuvPicture& picture, std::uint32_t frameNumber);
    VideoFrame wrap(const Mpeg4Encoder::Coded& coded, std::uint32_t frameNumber) const;
    void render(const SceneMoment& moment);

    PictureSynthesiser& synthesiser_;
    const CameraCatalogue& cameras_;
    const VideoSelection selection_;
    const VideoFormat format_;
    const VideoOptions options_;
    const ContainerKind kind_;
    std::unique_ptr<Mpeg4Encoder> encoder_;
    YuvPicture canvas_;
    YuvPicture wirePicture_;
    int quantiser_ = kDefaultQuantiser;
    std::size_t payloadLimit_ = 0;
    bool keyRequested_ = true;
    unsigned garbageSeed_ = 12345;
};

}  // namespace ambro::sim
