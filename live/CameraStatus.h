#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "live/ViewKind.h"

namespace ambro::live {

// One status code per camera, camera 1 first, as the camera status reply
// fills it.
inline constexpr int kStatusCameras = 32;
using CameraStatusTable = std::array<std::uint8_t, kStatusCameras>;

enum class CameraStatus : std::uint8_t {
    Normal = 0, Inactive = 1, Lost = 2, Recording = 3, ConnectionLost = 4,
};

// Normal and Recording cameras send pictures.
bool hasVideo(std::uint8_t status);

// Bit i for camera i+1 with video, reduced to what the view shows: the 2 x 2
// view keeps bits 0-3, 3 x 3 bits 0-8, "1~16" bits 0-15, "17~32" moves
// bits 16-31 down to 0-15; a single camera (no view) keeps all 32 bits.
std::uint32_t videoPresentMask(const CameraStatusTable& status, std::optional<ViewKind> view);

// "01 Normal    " ... "32 Connection Lost": the camera number (1-based) in
// two digits and the status text, padded to 10 characters. A code the
// server has no text for shows "Unknown   ".
std::string cameraStatusLine(int camera, std::uint8_t status);

}  // namespace ambro::live
