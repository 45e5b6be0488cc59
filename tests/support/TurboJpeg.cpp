#include "tests/support/TurboJpeg.h"

#include <turbojpeg.h>

#include <algorithm>

namespace ambro::test {

std::optional<Bytes> turboDecodeBgr(const Bytes& jpeg, int& width, int& height) {
    tjhandle handle = tjInitDecompress();
    int subsampling = 0;
    int colourspace = 0;
    std::optional<Bytes> result;
    if (tjDecompressHeader3(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()), &width,
                            &height, &subsampling, &colourspace) == 0) {
        Bytes pixels(static_cast<std::size_t>(width) * height * 3);
        if (tjDecompress2(handle, jpeg.data(), static_cast<unsigned long>(jpeg.size()),
                          pixels.data(), width, 0, height, TJPF_BGR, 0) == 0) {
            result = std::move(pixels);
        }
    }
    tjDestroy(handle);
    return result;
}

Bytes turboEncodeBgr(const Bytes& topDownBgr, int width, int height, int quality) {
    tjhandle handle = tjInitCompress();
    unsigned char* output = nullptr;
    unsigned long size = 0;
    tjCompress2(handle, topDownBgr.data(), width, 0, height, TJPF_BGR, &output, &size, TJSAMP_420,
                quality, 0);
    Bytes jpeg(output, output + size);
    tjFree(output);
    tjDestroy(handle);
    return jpeg;
}

std::vector<Bytes> jpegSegments(const Bytes& jpeg, std::uint8_t marker) {
    std::vector<Bytes> segments;
    std::size_t position = 2;  // after SOI
    while (position + 4 <= jpeg.size() && jpeg[position] == 0xFF) {
        const std::uint8_t kind = jpeg[position + 1];
        const std::size_t length = (jpeg[position + 2] << 8) | jpeg[position + 3];
        if (position + 2 + length > jpeg.size()) break;
        if (kind == marker) {
            segments.emplace_back(jpeg.begin() + position + 2, jpeg.begin() + position + 2 + length);
        }
        if (kind == 0xDA) break;  // entropy-coded data follows
        position += 2 + length;
    }
    return segments;
}

Bytes bottomUpPadded(const Bytes& topDown, int width, int height) {
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    const std::size_t stride = (row + 3) / 4 * 4;
    Bytes picture(stride * height, 0);
    for (int y = 0; y < height; ++y) {
        std::copy_n(topDown.begin() + y * row, row, picture.begin() + (height - 1 - y) * stride);
    }
    return picture;
}

Bytes topDownUnpadded(const Bytes& bottomUp, int width, int height) {
    const std::size_t row = static_cast<std::size_t>(width) * 3;
    const std::size_t stride = (row + 3) / 4 * 4;
    Bytes picture(row * height);
    for (int y = 0; y < height; ++y) {
        std::copy_n(bottomUp.begin() + (height - 1 - y) * stride, row, picture.begin() + y * row);
    }
    return picture;
}

}  // namespace ambro::test
