#include "media/SnapshotWriter.h"

#include <span>

#include "platform/NewFile.h"

namespace ambro::media {

std::optional<std::filesystem::path> SnapshotWriter::write(const std::uint8_t* picture,
                                                           std::size_t stride, int width,
                                                           int height, const std::string& stem,
                                                           std::string& error) {
    jpeg_.resize(SnapshotEncoder::worstCaseSize(width, height));
    std::size_t size = 0;
    if (!encoder_.encodePicture(picture, stride, jpeg_.data(), jpeg_.size(), width, height, size)) {
        error = "the picture could not be encoded";
        return std::nullopt;
    }
    return platform::writeNewFile(folder_, stem, ".jpg", std::span(jpeg_.data(), size), error);
}

}  // namespace ambro::media
