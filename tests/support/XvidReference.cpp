#include "tests/support/XvidReference.h"

#include <xvid.h>

namespace ambro::test {

namespace {

int libraryColourSpace(media::PackedFormat format, bool verticalFlip) {
    const int space = format == media::PackedFormat::Rgb555 ? XVID_CSP_RGB555 : XVID_CSP_BGR;
    return space | (verticalFlip ? XVID_CSP_VFLIP : 0);
}

void initialiseLibrary() {
    xvid_gbl_init_t init{};
    init.version = XVID_VERSION;
    xvid_global(nullptr, XVID_GBL_INIT, &init, nullptr);
}

}  // namespace

media::PlanarPicture Yv12Picture::planar() {
    media::PlanarPicture planar;
    planar.luma = luma();
    planar.blueDifference = blueDifference();
    planar.redDifference = redDifference();
    planar.lumaStride = static_cast<std::size_t>(width);
    planar.chromaStride = static_cast<std::size_t>(width / 2);
    planar.width = width;
    planar.height = height;
    return planar;
}

Yv12Picture makeYv12(int width, int height) {
    Yv12Picture picture;
    picture.width = width;
    picture.height = height;
    // The library's vectorised code reads whole groups of pixels past the
    // last column and row; spare bytes keep those reads inside the block.
    picture.bytes.assign(static_cast<std::size_t>(width) * height +
                             2 * static_cast<std::size_t>(width / 2 + 1) * (height / 2 + 1) +
                             65536,
                         0);
    return picture;
}

void libraryConvert(Yv12Picture& picture, media::PackedFormat format, std::uint8_t* output,
                    std::size_t stride, bool verticalFlip) {
    initialiseLibrary();
    xvid_gbl_convert_t convert{};
    convert.version = XVID_VERSION;
    convert.width = picture.width;
    convert.height = picture.height;
    convert.interlacing = 0;
    convert.input.csp = XVID_CSP_YV12;
    convert.input.plane[0] = picture.luma();
    convert.input.stride[0] = picture.width;
    convert.output.csp = libraryColourSpace(format, verticalFlip);
    convert.output.plane[0] = output;
    convert.output.stride[0] = static_cast<int>(stride);
    xvid_global(nullptr, XVID_GBL_CONVERT, &convert, nullptr);
}

std::vector<Bytes> libraryDecode(const std::vector<Bytes>& streams, int width, int height,
                                 media::PackedFormat format, bool verticalFlip) {
    initialiseLibrary();
    xvid_dec_create_t create{};
    create.version = XVID_VERSION;
    xvid_decore(nullptr, XVID_DEC_CREATE, &create, nullptr);
    const int bytesPerPixel = format == media::PackedFormat::Rgb555 ? 2 : 3;
    Bytes picture(static_cast<std::size_t>(width) * height * bytesPerPixel, 0x7F);
    std::vector<Bytes> produced;
    for (const Bytes& stream : streams) {
        Bytes input(stream);
        input.resize(stream.size() + 64, 0);  // the library reads a little ahead
        std::size_t position = 0;
        while (position + 12 <= stream.size() || (position == 0 && !stream.empty())) {
            xvid_dec_frame_t frame{};
            frame.version = XVID_VERSION;
            frame.bitstream = input.data() + position;
            frame.length = static_cast<int>(stream.size() - position);
            frame.output.csp = libraryColourSpace(format, verticalFlip);
            frame.output.plane[0] = picture.data();
            frame.output.stride[0] = width * bytesPerPixel;
            xvid_dec_stats_t stats{};
            stats.version = XVID_VERSION;
            const int used = xvid_decore(create.handle, XVID_DEC_DECODE, &frame, &stats);
            if (used <= 0) break;
            position += static_cast<std::size_t>(used);
            if (stats.type > 0) {
                produced.push_back(picture);
                break;
            }
        }
    }
    xvid_decore(create.handle, XVID_DEC_DESTROY, nullptr, nullptr);
    return produced;
}

}  // namespace ambro::test
