#include "tests/support/Mpeg4Fixtures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace ambro::test {

std::string fixturePath(const std::string& name) {
    return std::string(AMBRO_FIXTURE_DIR) + "/" + name;
}

Bytes readFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<CodedPicture> splitIntoPictures(const Bytes& stream) {
    std::vector<CodedPicture> pictures;
    std::size_t chunkStart = 0;
    bool previousWasVop = false;
    std::size_t from = 0;
    while (auto start = media::findStartCode(stream, from)) {
        const bool isVop = stream[*start + 3] == media::kVopStartCode;
        if (previousWasVop) {
            pictures.push_back({Bytes(stream.begin() + chunkStart, stream.begin() + *start)});
            chunkStart = *start;
        }
        previousWasVop = isVop;
        from = *start + 4;
    }
    pictures.push_back({Bytes(stream.begin() + chunkStart, stream.end())});
    for (auto& picture : pictures) {
        std::size_t search = 0;
        while (auto start = media::findStartCode(picture.bytes, search)) {
            if (auto type = media::vopCodingTypeAt(picture.bytes, *start)) {
                picture.type = *type;
                break;
            }
            search = *start + 4;
        }
    }
    return pictures;
}

std::vector<Bytes> ffmpegDecode(const std::string& path, int width, int height) {
    const std::string command = "ffmpeg -hide_banner -loglevel error -i '" + path +
                                "' -f rawvideo -pix_fmt bgr24 - 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run ffmpeg");
    std::vector<Bytes> pictures;
    const std::size_t size = static_cast<std::size_t>(width) * height * 3;
    Bytes picture(size);
    while (std::fread(picture.data(), 1, size, pipe) == size) pictures.push_back(picture);
    ::pclose(pipe);
    if (pictures.empty()) throw std::runtime_error("ffmpeg decoded nothing from " + path);
    return pictures;
}

double psnr(const Bytes& a, const Bytes& b) {
    if (a.size() != b.size() || a.empty()) return 0.0;
    double squared = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const double difference = static_cast<double>(a[i]) - b[i];
        squared += difference * difference;
    }
    if (squared == 0.0) return std::numeric_limits<double>::infinity();
    const double mean = squared / static_cast<double>(a.size());
    return 10.0 * std::log10(255.0 * 255.0 / mean);
}

Bytes flippedRows(const Bytes& picture, int width, int height, int bytesPerPixel) {
    const std::size_t stride = static_cast<std::size_t>(width) * bytesPerPixel;
    Bytes flipped(picture.size());
    for (int row = 0; row < height; ++row) {
        std::copy_n(picture.begin() + row * stride, stride,
                    flipped.begin() + (height - 1 - row) * stride);
    }
    return flipped;
}

}  // namespace ambro::test
