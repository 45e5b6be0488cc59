#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "media/SnapshotEncoder.h"

namespace ambro::media {

// Encodes shown pictures as quality-100 JPEG files into one folder (made
// when missing), each under a name the caller chooses; an earlier file is
// never replaced (a second one of the same name gets "_2", ...), and a
// half-written file never appears.
class SnapshotWriter {
public:
    explicit SnapshotWriter(std::filesystem::path folder) : folder_(std::move(folder)) {}

    // The bottom-up BGR picture, rows `stride` bytes apart. The path written,
    // or none with `error` saying why.
    std::optional<std::filesystem::path> write(const std::uint8_t* picture, std::size_t stride,
                                               int width, int height, const std::string& stem,
                                               std::string& error);

    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    SnapshotEncoder encoder_{100};
    std::vector<std::uint8_t> jpeg_;
};

}  // namespace ambro::media
