#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace ambro::media {

static_assert(std::endian::native == std::endian::little,
              "picture-format records are laid out little-endian");

// The 40-byte bitmap information header that describes the decoder's input
// (the coded picture and the payload length) and output (the picture buffer).
struct PictureFormat {
    std::uint32_t headerSize = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitsPerPixel = 24;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;  // input: payload length, reduced by each decode
    std::int32_t horizontalResolution = 0;
    std::int32_t verticalResolution = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t importantColours = 0;  // output: 0 BGR 24-bit, 1 RGB 5-5-5
};
static_assert(sizeof(PictureFormat) == 40);

// "W264" as the four bytes of the compression field.
inline constexpr std::uint32_t kW264 = 'W' | ('2' << 8) | ('6' << 16) | (static_cast<std::uint32_t>('4') << 24);

inline constexpr std::uint32_t kOutputBgr24 = 0;
inline constexpr std::uint32_t kOutputRgb555 = 1;

// One decode call: the payload in, the picture out. The original record is
// six 32-bit words; the pointer fields make it wider on a 64-bit system, and
// decompress checks the size it is given against this one.
struct DecompressRequest {
    std::uint32_t flags = 0;
    PictureFormat* inputFormat = nullptr;
    std::uint8_t* inputData = nullptr;
    const PictureFormat* outputFormat = nullptr;
    std::uint8_t* outputPicture = nullptr;
    std::uint32_t reserved = 0;
};

}  // namespace ambro::media
