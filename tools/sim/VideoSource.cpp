#include "tools/sim/VideoSource.h"

#include "tools/sim/VolHeaderExtension.h"

namespace ambro::sim {

namespace {

constexpr int kCoarsestQuantiser = 31;
constexpr int kQuantiserStep = 3;

ContainerKind kindFor(const CameraCatalogue& cameras, const VideoSelection& selection,
                      const VideoOptions& options) {
    if (options.container) return *options.container;
    if (selection.grid == 1 && cameras.exists(selection.camera)) {
        return cameras.camera(selection.camera).container;
    }
    return ContainerKind::ChecksumMarker;  // a composed view
}

PixelRect rotatedRect(const PixelRect& rect, int height) {
    // Turning clockwise takes (x, y) to (height - 1 - y, x).
    return {height - rect.bottom(), rect.x, rect.height, rect.width};
}

}  // namespace

VideoSource::VideoSource(PictureSynthesiser& synthesiser, const CameraCatalogue& cameras,
                         VideoSelection selection, VideoFormat format, VideoOptions options)
    : synthesiser_(synthesiser), cameras_(cameras), selection_(selection), format_(format),
      options_(options), kind_(kindFor(cameras, selection, options)),
      canvas_(format.width, format.height) {
    restart();
}

void VideoSource::restart() {
    encoder_ = std::make_unique<Mpeg4Encoder>(wireWidth(), wireHeight());
    keyRequested_ = true;
}

std::vector<PixelRect> VideoSource::wireMasks() const {
    std::vector<PixelRect> rects;
    if (!options_.privacyMasks) return rects;
    for (int position = 0; position < selection_.grid * selection_.grid; ++position) {
        const int camera = selection_.camera + position;
        if (!cameras_.exists(camera)) continue;
        const PixelRect cell =
            selection_.grid == 1 ? canvas_.bounds()
                                 : PictureSynthesiser::viewCell(selection_.grid, position,
                                                                format_.width, format_.height);
        for (const PixelRect& mask : synthesiser_.masksIn(camera, cell)) {
            rects.push_back(format_.rotated ? rotatedRect(mask, format_.height) : mask);
        }
    }
    return rects;
}

void VideoSource::render(const SceneMoment& moment) {
    if (selection_.grid == 1) {
        synthesiser_.drawCamera(selection_.camera, moment, canvas_, canvas_.bounds());
    } else {
        synthesiser_.drawView(selection_.grid, selection_.camera, moment, canvas_);
    }
}

std::optional<VideoFrame> VideoSource::next(const SceneMoment& moment, std::uint32_t frameNumber) {
    render(moment);
    if (format_.rotated) {
        wirePicture_ = canvas_.rotatedClockwise();
        return encodeWithin(wirePicture_, frameNumber);
    }
    return encodeWithin(canvas_, frameNumber);
}

std::optional<VideoFrame> VideoSource::encodeWithin(const YuvPicture& picture,
                                                    std::uint32_t frameNumber) {
    const bool bottomRowFirst = kind_ != ContainerKind::FlipTail;
    bool forceKey = keyRequested_;
    for (int quantiser = quantiser_; quantiser <= kCoarsestQuantiser; quantiser += kQuantiserStep) {
        const auto coded = encoder_->encode(picture, quantiser, forceKey, bottomRowFirst);
        if (coded.bytes.empty()) return std::nullopt;
        VideoFrame frame = wrap(coded, frameNumber);
        if (payloadLimit_ == 0 || frame.payload.size() <= payloadLimit_) {
            keyRequested_ = false;
            return frame;
        }
        // Too long: the client never sees it, so code the picture again on
        // its own; the following pictures then refer to that one.
        forceKey = true;
    }
    keyRequested_ = true;
    return std::nullopt;
}

VideoFrame VideoSource::wrap(const Mpeg4Encoder::Coded& coded, std::uint32_t frameNumber) const {
    VideoFrame frame;
    frame.key = coded.key;
    if (options_.garbage) {
        unsigned seed = garbageSeed_ + frameNumber * 7919u;
        frame.payload.resize(coded.bytes.size());
        for (auto& byte : frame.payload) {
            seed = seed * 1103515245u + 12345u;
            byte = static_cast<std::uint8_t>(seed >> 16);
        }
        return frame;
    }
    const auto masks =
        ContainerWriter::masksFor(wireMasks(), wireWidth(), wireHeight(),
                                  kind_ == ContainerKind::FlipTail);
    if (kind_ == ContainerKind::ExtendedHeader) {
        frame.payload = ContainerWriter::wrap(kind_, VolHeaderExtension::extend(coded.bytes), masks,
                                              frameNumber);
    } else {
        frame.payload = ContainerWriter::wrap(kind_, coded.bytes, masks, frameNumber);
    }
    return frame;
}

}  // namespace ambro::sim
