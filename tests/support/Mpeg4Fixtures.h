#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "media/ElementaryStream.h"

namespace ambro::test {

using Bytes = std::vector<std::uint8_t>;

std::string fixturePath(const std::string& name);
Bytes readFile(const std::string& path);

// One coded picture of an elementary stream, with the headers before it.
struct CodedPicture {
    Bytes bytes;
    media::VopCodingType type = media::VopCodingType::I;
};

// Splits a stream into the payloads a server would send: each VOP with the
// headers (VOS, VOL, GOV, user data) that come before it.
std::vector<CodedPicture> splitIntoPictures(const Bytes& stream);

// ffmpeg's own decode of a stream file: top-down BGR pictures in display order.
std::vector<Bytes> ffmpegDecode(const std::string& path, int width, int height);

// Peak signal-to-noise ratio of two pictures of the same size, in dB
// (infinity when equal).
double psnr(const Bytes& a, const Bytes& b);

// The picture with its rows in the opposite order.
Bytes flippedRows(const Bytes& picture, int width, int height, int bytesPerPixel = 3);

}  // namespace ambro::test
