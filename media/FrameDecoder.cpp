#include "media/FrameDecoder.h"

#include <xvid.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "media/ColourConversion.h"
#include "media/ElementaryStream.h"
#include "media/PictureRows.h"
#include "media/FrameContainer.h"
#include "platform/ByteOrder.h"

namespace ambro::media {

namespace {

constexpr int kMaxScrambledBlocksRead = 3;
constexpr int kMaxDimension = 8191;  // the largest size a VOL header can announce
constexpr std::size_t kLeastToContinue = 12;
constexpr int kReferenceWidth = 360;
constexpr int kReferenceHeight = 240;
constexpr int kPalReferenceHeight = 288;

void initialiseLibraryOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        xvid_gbl_init_t init{};
        init.version = XVID_VERSION;
        xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
    });
}

// Whether the library is a version seen to hand out its own planes for
// XVID_CSP_INTERNAL output (1.3.7; later ones are taken to keep it).
bool libraryHandsOutPlanes() {
    static const bool handsOut = [] {
        xvid_gbl_info_t info{};
        info.version = XVID_VERSION;
        return xvid_global(nullptr, XVID_GBL_INFO, &info, nullptr) >= 0 &&
               info.actual_version >= XVID_MAKE_VERSION(1, 3, 7);
    }();
    return handsOut;
}

bool isPalSize(int width, int height) {
    const bool palHeight = height == 576 || height == 288 || height == 144 || height == 240;
    const bool palWidth =
        width == 720 || width == 360 || width == 180 || width == 176 || width == 320;
    return palHeight && palWidth;
}

// A scaled coordinate, truncated toward zero and kept in a range where the
// later mirroring and clipping cannot overflow.
std::int64_t scaled(std::int32_t coordinate, float scale) {
    const float value = std::clamp(static_cast<float>(coordinate) * scale, -1e9f, 1e9f);
    return static_cast<std::int64_t>(value);
}

std::int32_t clipped(std::int64_t value, int limit) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, limit));
}

std::size_t nextVolStartCode(std::span<const std::uint8_t> stream, std::size_t from) {
    while (auto found = findStartCode(stream, from)) {
        if (isVolStartCode(stream[*found + 3])) return *found;
        from = *found + 4;
    }
    return stream.size();
}

// One library call reads every header up to the next VOP, and the library
// reallocates its pictures for each VOL among them. This finds the first VOL
// there that does not announce a rectangular picture of at most width x
// height (or is cut short before its size), so that it never reaches the
// library.
std::optional<std::size_t> firstUnfitVolBeforeVop(std::span<const std::uint8_t> stream,
                                                  std::size_t from, int width, int height) {
    for (auto at = findStartCode(stream, from); at; at = findStartCode(stream, *at + 4)) {
        const std::uint8_t code = stream[*at + 3];
        if (code == kVopStartCode) break;
        if (!isVolStartCode(code)) continue;
        const auto vol = parseVolHeader(stream.subspan(*at));
        if (!vol || !vol->rectangular || vol->width < 1 || vol->height < 1 ||
            vol->width > width || vol->height > height) {
            return *at;
        }
    }
    return std::nullopt;
}

}  // namespace

FrameDecoder::FrameDecoder() = default;

FrameDecoder::~FrameDecoder() { decompressEnd(); }

int FrameDecoder::decompressQuery(const PictureFormat* input, const PictureFormat* output) const {
    if (input == nullptr || input->bitsPerPixel != 24 || input->compression != kW264) {
        return kFormatRefused;
    }
    if (output == nullptr) return kDecoderDone;
    if (output->bitsPerPixel != 24) return kFormatRefused;
    if (output->width == 640 && output->height != 480 && output->height != -480) {
        return kFormatRefused;
    }
    return kDecoderDone;
}

int FrameDecoder::decompressBegin(const PictureFormat* input, const PictureFormat* output) {
    if (input == nullptr || output == nullptr) return kFormatRefused;
    const int width = input->width;
    const int height = std::abs(input->height);
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) {
        return kFormatRefused;
    }

    decompressEnd();
    width_ = width;
    height_ = height;
    outputHeight_ = outputHeightFor(width, height);
    const bool rgb555 = output->importantColours == kOutputRgb555;
    bytesPerPixel_ = rgb555 ? 2 : 3;
    colourSpace_ = rgb555 ? XVID_CSP_RGB555 : XVID_CSP_BGR;
    chromaStride_ = (static_cast<std::size_t>(width) + 1) / 2;
    planes_.assign(static_cast<std::size_t>(width) * height +
                       2 * chromaStride_ * ((static_cast<std::size_t>(height) + 1) / 2),
                   0);
    streamWidth_ = 0;
    streamHeight_ = 0;
    streamInterlaced_ = false;
    verticalFlip_ = false;
    extendedHeader_ = false;
    streamFits_ = true;
    pictureProduced_ = false;

    initialiseLibraryOnce();
    libraryPlanes_ = planeSource_ == PlaneSource::Library && libraryHandsOutPlanes();
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    create.width = 0;  // the size comes from the stream's VOL header
    create.height = 0;
    if (xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr) < 0) return kFormatRefused;
    library_ = create.handle;
    return kDecoderDone;
}

void FrameDecoder::decompressEnd() {
    if (library_ != nullptr) xvid_decore(library_, XVID_DEC_DESTROY, nullptr, nullptr);
    library_ = nullptr;
}

int FrameDecoder::decompress(DecompressRequest* request, std::size_t requestSize) {
    pictureProduced_ = false;
    if (request == nullptr || requestSize != sizeof(DecompressRequest) || library_ == nullptr ||
        request->inputFormat == nullptr || request->inputData == nullptr ||
        request->outputPicture == nullptr) {
        return kPayloadRejected;
    }
    PictureFormat& input = *request->inputFormat;
    if (input.imageSize > kMaxPayload) return kPayloadRejected;

    const bool readScrambled = scrambledBlocksSeen_ < kMaxScrambledBlocksRead;
    const UnwrappedPayload payload =
        unwrapFramePayload({request->inputData, input.imageSize}, readScrambled);
    input.imageSize = static_cast<std::uint32_t>(payload.remainingLength);
    if (!payload.accepted) return kPayloadRejected;

    if (payload.carriedScrambledMaskBlock && readScrambled) ++scrambledBlocksSeen_;
    extendedHeader_ = extendedHeader_ || payload.switchesExtendedHeader;
    verticalFlip_ = verticalFlip_ || payload.switchesVerticalFlip;
    if (payload.hasRectangles) {
        storeRectangles(payload.rectangles.bytes, payload.rectangles.size,
                        payload.rectangles.mirrored);
    }

    std::uint8_t* stream = request->inputData + payload.streamOffset;
    std::size_t length = payload.streamLength;
    if (extendedHeader_) length = removeExtendedHeaderBits(stream, length);

    pictureProduced_ = decodeStream(stream, length, request->outputPicture);
    if (pictureProduced_ && outputHeight_ != height_) doubleRows(request->outputPicture);
    fillMasks(request->outputPicture);
    return kDecoderDone;
}

bool FrameDecoder::decodeStream(std::uint8_t* stream, std::size_t length, std::uint8_t* picture) {
    const std::span<const std::uint8_t> all(stream, length);
    std::size_t position = 0;
    while (position < length) {
        const std::span<const std::uint8_t> rest = all.subspan(position);
        const auto start = findStartCode(rest, 0);
        std::size_t consumed = 0;
        bool produced = false;

        if (start && vopCodingTypeAt(rest, *start) == VopCodingType::B) {
            // B-VOPs are passed over: no picture, and the references stay.
            consumed = findStartCode(rest, *start + 4).value_or(rest.size());
        } else if (!streamFits_ && !(start && isVolStartCode(rest[*start + 3]))) {
            // Nothing is decoded until a VOL of a size that fits comes.
            consumed = nextVolStartCode(rest, start ? *start + 4 : rest.size());
        } else if (const auto unfit =
                       firstUnfitVolBeforeVop(rest, start.value_or(rest.size()), width_, height_)) {
            streamFits_ = false;
            consumed = findStartCode(rest, *unfit + 4).value_or(rest.size());
        } else {
            int type = XVID_TYPE_NOTHING;
            int volWidth = 0;
            int volHeight = 0;
            const int used = callLibrary(stream + position, rest.size(), picture, type, volWidth,
                                         volHeight);
            if (used <= 0) return false;
            consumed = std::min<std::size_t>(static_cast<std::size_t>(used), rest.size());
            if (type == XVID_TYPE_VOL) {
                streamFits_ = volWidth > 0 && volHeight > 0 && volWidth <= width_ &&
                              volHeight <= height_;
            }
            produced = type > 0;
        }
        if (produced) return true;
        if (consumed == 0 || rest.size() - consumed < kLeastToContinue) return false;
        position += consumed;
    }
    return false;
}

int FrameDecoder::callLibrary(std::uint8_t* stream, std::size_t length, std::uint8_t* picture,
                              int& type, int& volWidth, int& volHeight) {
    xvid_dec_frame_t frame{};
    frame.version = XVID_VERSION;
    frame.general = 0;
    frame.bitstream = stream;
    frame.length = static_cast<int>(length);
    frame.brightness = 0;
    // Progressive pictures come out planar and are converted here, faster
    // and to the same bytes; interlaced ones, whose chroma rows the library
    // pairs by field, are left to the library's own conversion. The planes
    // are the library's own where it hands them out (it answers only when
    // plane 0 is set, and then replaces the pointers), else a copy in ours.
    const bool convertHere = !streamInterlaced_;
    if (convertHere) {
        frame.output.csp = libraryPlanes_ ? XVID_CSP_INTERNAL : XVID_CSP_PLANAR;
        frame.output.plane[0] = lumaPlane();
        frame.output.plane[1] = blueDifferencePlane();
        frame.output.plane[2] = redDifferencePlane();
        frame.output.stride[0] = width_;
        frame.output.stride[1] = static_cast<int>(chromaStride_);
        frame.output.stride[2] = static_cast<int>(chromaStride_);
    } else {
        frame.output.csp = colourSpace_ | (verticalFlip_ ? XVID_CSP_VFLIP : 0);
        frame.output.plane[0] = picture;
        frame.output.stride[0] = width_ * bytesPerPixel_;
    }

    xvid_dec_stats_t stats{};
    stats.version = XVID_VERSION;
    const int used = xvid_decore(library_, XVID_DEC_DECODE, &frame, &stats);
    type = stats.type;
    if (type == XVID_TYPE_VOL) {
        volWidth = stats.data.vol.width;
        volHeight = stats.data.vol.height;
        streamWidth_ = volWidth;
        streamHeight_ = volHeight;
        streamInterlaced_ = (stats.data.vol.general & XVID_VOL_INTERLACING) != 0;
    }
    const ReturnedPlanes returned{
        {frame.output.plane[0], frame.output.plane[1], frame.output.plane[2]},
        {frame.output.stride[0], frame.output.stride[1], frame.output.stride[2]}};
    if (type > 0 && convertHere && !convertPlanes(returned, picture)) {
        type = XVID_TYPE_NOTHING;
    }
    return used;
}

bool FrameDecoder::convertPlanes(const ReturnedPlanes& returned, std::uint8_t* picture) {
    PlanarPicture planar = libraryPlanes_ ? handedOutPlanes(returned) : copiedPlanes();
    if (planar.luma == nullptr) {
        // Not what this library version was seen to do: from the next
        // picture on, the planes are copied into ours.
        libraryPlanes_ = false;
        return false;
    }
    convertToPacked(planar, bytesPerPixel_ == 2 ? PackedFormat::Rgb555 : PackedFormat::Bgr24,
                    picture, static_cast<std::size_t>(width_) * bytesPerPixel_, verticalFlip_);
    return true;
}

// Only a VOL that fits W x H reaches the library, so the planes hold the
// picture of the last VOL (within W x H in any case).
PlanarPicture FrameDecoder::copiedPlanes() const {
    PlanarPicture planar;
    planar.luma = lumaPlane();
    planar.blueDifference = blueDifferencePlane();
    planar.redDifference = redDifferencePlane();
    planar.lumaStride = static_cast<std::size_t>(width_);
    planar.chromaStride = chromaStride_;
    planar.width = std::min(streamWidth_, width_);
    planar.height = std::min(streamHeight_, height_);
    return planar;
}

// The library's own planes, or no luma plane when it did not hand out
// planes that hold the picture.
PlanarPicture FrameDecoder::handedOutPlanes(const ReturnedPlanes& returned) const {
    PlanarPicture planar = copiedPlanes();
    const int chromaWidth = (planar.width + 1) / 2;
    const bool handedOut = returned.planes[0] != lumaPlane() && returned.planes[0] != nullptr &&
                           returned.planes[1] != nullptr && returned.planes[2] != nullptr &&
                           returned.strides[0] >= planar.width &&
                           returned.strides[1] >= chromaWidth &&
                           returned.strides[2] == returned.strides[1];
    if (!handedOut) {
        planar.luma = nullptr;
        return planar;
    }
    planar.luma = static_cast<const std::uint8_t*>(returned.planes[0]);
    planar.blueDifference = static_cast<const std::uint8_t*>(returned.planes[1]);
    planar.redDifference = static_cast<const std::uint8_t*>(returned.planes[2]);
    planar.lumaStride = static_cast<std::size_t>(returned.strides[0]);
    planar.chromaStride = static_cast<std::size_t>(returned.strides[1]);
    return planar;
}

void FrameDecoder::storeRectangles(const std::uint8_t* list, std::size_t size, bool mirrored) {
    const std::size_t count =
        std::min<std::size_t>(platform::loadLe32(list + 8), (size - MaskStore::kListHeadBytes) /
                                                                MaskStore::kRectBytes);
    const float scaleX = static_cast<float>(width_) / kReferenceWidth;
    float scaleY = static_cast<float>(outputHeight_) / kReferenceHeight;
    if (isPalSize(width_, outputHeight_)) scaleY = scaleY * kReferenceHeight / kPalReferenceHeight;

    masks_.count = 0;
    for (std::size_t i = 0; i < count && i < MaskStore::kMaxRects; ++i) {
        const std::uint8_t* record = list + MaskStore::kListHeadBytes + i * MaskStore::kRectBytes;
        const auto field = [&](int index) {
            return static_cast<std::int32_t>(platform::loadLe32(record + 4 * index));
        };
        std::int64_t top = scaled(field(1), scaleY);
        std::int64_t bottom = scaled(field(3), scaleY);
        if (mirrored) {
            const std::int64_t oldTop = top;
            top = outputHeight_ - bottom;
            bottom = outputHeight_ - oldTop;
        }
        masks_.rects[masks_.count++] = {clipped(scaled(field(0), scaleX), width_),
                                        clipped(top, outputHeight_),
                                        clipped(scaled(field(2), scaleX), width_),
                                        clipped(bottom, outputHeight_)};
    }
}

void FrameDecoder::doubleRows(std::uint8_t* picture) const {
    media::doubleRows(picture, static_cast<std::size_t>(width_) * bytesPerPixel_, height_);
}

void FrameDecoder::fillMasks(std::uint8_t* picture) const {
    const std::size_t stride = static_cast<std::size_t>(width_) * bytesPerPixel_;
    for (std::size_t i = 0; i < masks_.count; ++i) {
        const MaskRect& rect = masks_.rects[i];
        if (rect.top >= rect.bottom || rect.left >= rect.right) continue;
        const std::size_t offset = static_cast<std::size_t>(rect.left) * bytesPerPixel_;
        const std::size_t span = static_cast<std::size_t>(rect.right - rect.left) * bytesPerPixel_;
        for (int row = rect.top; row < rect.bottom; ++row) {
            std::memset(picture + row * stride + offset, 0, span);
        }
    }
}

int decodePayload(FrameDecoder& decoder, PictureFormat& inputFormat,
                  const PictureFormat& outputFormat, std::uint8_t* payload, std::size_t length,
                  std::uint8_t* picture) {
    inputFormat.imageSize =
        static_cast<std::uint32_t>(std::min(length, FrameDecoder::kMaxPayload + 1));
    DecompressRequest request;
    request.inputFormat = &inputFormat;
    request.inputData = payload;
    request.outputFormat = &outputFormat;
    request.outputPicture = picture;
    return decoder.decompress(&request, sizeof request);
}

}  // namespace ambro::media
