#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

// libjpeg-turbo as an independent decoder: top-down BGR pixels, or none when
// it rejects the file.
std::optional<Bytes> turboDecodeBgr(const Bytes& jpeg, int& width, int& height);

// libjpeg-turbo's own encoding (4:2:0) of a top-down BGR picture.
Bytes turboEncodeBgr(const Bytes& topDownBgr, int width, int height, int quality);

// The segments of a JPEG file with the given marker (FF xx), each without
// its marker but with its length bytes.
std::vector<Bytes> jpegSegments(const Bytes& jpeg, std::uint8_t marker);

// A bottom-up BGR picture (rows padded to 4 bytes) from a top-down one, and back.
Bytes bottomUpPadded(const Bytes& topDown, int width, int height);
Bytes topDownUnpadded(const Bytes& bottomUp, int width, int height);

}  // namespace ambro::test
