#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/ColourConversion.h"
#include "media/MaskRect.h"
#include "media/PictureFormat.h"

namespace ambro::media {

// The decoder's result codes, with the numbers its callers have always been
// given (ambro-cli prints them).
inline constexpr int kDecoderDone = 0;       // accepted, or decoded with or without a picture
inline constexpr int kPayloadRejected = -1;  // the container refused the payload
inline constexpr int kFormatRefused = -2;    // the formats cannot be decoded

// Turns one frame payload into one picture: unwraps the servers' container,
// decodes the MPEG-4 Part 2 stream with libxvidcore, converts it to packed
// pixels (the same bytes as the library's own conversion) and blacks out the
// privacy masks. One decoder per session picture size; nothing is allocated
// per picture.
//
// Input buffers must stay readable for kInputPadding bytes past the payload:
// the MPEG-4 library reads a few bytes ahead of what it consumes.
//
// Pictures 640 wide and 240 high are decoded into the first 240 rows of a
// 640 x 480 output and then every row is doubled in place, from the bottom
// up, so the output must hold 480 rows.
class FrameDecoder {
public:
    static constexpr std::size_t kInputPadding = 64;
    // The longest payload any server sends.
    static constexpr std::size_t kMaxPayload = 716800;

    // The rows of the output picture for a coded picture of this size.
    static int outputHeightFor(int width, int height) {
        return width == 640 && height == 240 ? 480 : height;
    }

    FrameDecoder();
    ~FrameDecoder();
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // kDecoderDone when the formats are accepted, kFormatRefused when not.
    [[nodiscard]] int decompressQuery(const PictureFormat* input,
                                      const PictureFormat* output) const;
    // Takes the picture size and output kind; a fresh MPEG-4 decoder with
    // extended-header mode and vertical flip off. Returns kDecoderDone, or
    // kFormatRefused when the formats cannot be decoded into.
    [[nodiscard]] int decompressBegin(const PictureFormat* input, const PictureFormat* output);
    // kDecoderDone once the payload was decoded (with or without a
    // picture), kPayloadRejected when the container rejected it; the input
    // image size is reduced in place.
    [[nodiscard]] int decompress(DecompressRequest* request, std::size_t requestSize);
    void decompressEnd();

    // Where progressive pictures are converted from: the library's own
    // planes where it hands them out (the default), or its copy of them in
    // the decoder's buffer, as with library versions that do not. Takes
    // effect at the next decompressBegin.
    enum class PlaneSource { Library, Copy };
    void setPlaneSource(PlaneSource source) { planeSource_ = source; }
    // Whether progressive pictures are now converted from the library's own
    // planes.
    bool convertsLibraryPlanes() const { return libraryPlanes_; }

    // Whether the last decompress produced a picture.
    bool pictureProduced() const { return pictureProduced_; }
    bool verticalFlip() const { return verticalFlip_; }
    bool extendedHeaderMode() const { return extendedHeader_; }
    const MaskStore& masks() const { return masks_; }

private:
    struct Unwrapped;
    bool decodeStream(std::uint8_t* stream, std::size_t length, std::uint8_t* picture);
    int callLibrary(std::uint8_t* stream, std::size_t length, std::uint8_t* picture, int& type,
                    int& volWidth, int& volHeight);
    // The planes as the library's output record gives them back.
    struct ReturnedPlanes {
        const void* planes[3];
        int strides[3];
    };
    bool convertPlanes(const ReturnedPlanes& returned, std::uint8_t* picture);
    PlanarPicture copiedPlanes() const;
    PlanarPicture handedOutPlanes(const ReturnedPlanes& returned) const;
    std::uint8_t* lumaPlane() { return planes_.data(); }
    const std::uint8_t* lumaPlane() const { return planes_.data(); }
    std::uint8_t* blueDifferencePlane() { return planes_.data() + lumaBytes(); }
    const std::uint8_t* blueDifferencePlane() const { return planes_.data() + lumaBytes(); }
    std::uint8_t* redDifferencePlane() { return blueDifferencePlane() + chromaBytes(); }
    const std::uint8_t* redDifferencePlane() const { return blueDifferencePlane() + chromaBytes(); }
    std::size_t lumaBytes() const { return static_cast<std::size_t>(width_) * height_; }
    std::size_t chromaBytes() const {
        return chromaStride_ * ((static_cast<std::size_t>(height_) + 1) / 2);
    }
    void storeRectangles(const std::uint8_t* list, std::size_t size, bool mirrored);
    void doubleRows(std::uint8_t* picture) const;
    void fillMasks(std::uint8_t* picture) const;

    void* library_ = nullptr;  // the libxvidcore decoder instance
    int width_ = 0;
    int height_ = 0;
    int outputHeight_ = 0;
    int bytesPerPixel_ = 3;
    int colourSpace_ = 0;
    // Whether progressive pictures are converted straight from the
    // library's own planes; else from its copy of them in planes_, which is
    // sized once per picture size.
    bool libraryPlanes_ = false;
    PlaneSource planeSource_ = PlaneSource::Library;
    std::vector<std::uint8_t> planes_;
    std::size_t chromaStride_ = 0;
    // The picture size and scan of the last VOL the library read.
    int streamWidth_ = 0;
    int streamHeight_ = 0;
    bool streamInterlaced_ = false;
    bool verticalFlip_ = false;
    bool extendedHeader_ = false;
    // False since a VOL announced a picture larger than W x H, until one that
    // fits comes: such a VOL never reaches the library, and the pictures
    // after it are not decoded, since they would not fit the output.
    bool streamFits_ = true;
    bool pictureProduced_ = false;
    int scrambledBlocksSeen_ = 0;
    MaskStore masks_;
};

// One decode call as the sessions make it: the payload's length goes into the
// input format, and the request points at the payload and the picture.
[[nodiscard]] int decodePayload(FrameDecoder& decoder, PictureFormat& inputFormat,
                                const PictureFormat& outputFormat, std::uint8_t* payload,
                                std::size_t length, std::uint8_t* picture);

}  // namespace ambro::media
