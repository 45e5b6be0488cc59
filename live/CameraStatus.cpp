#include "live/CameraStatus.h"

#include <cstdio>

namespace ambro::live {

bool hasVideo(std::uint8_t status) {
    return status == static_cast<std::uint8_t>(CameraStatus::Normal) ||
           status == static_cast<std::uint8_t>(CameraStatus::Recording);
}

std::uint32_t videoPresentMask(const CameraStatusTable& status, std::optional<ViewKind> view) {
    std::uint32_t all = 0;
    for (int camera = 0; camera < kStatusCameras; ++camera) {
        if (hasVideo(status[camera])) all |= 1u << camera;
    }
    if (!view) return all;
    switch (*view) {
        case ViewKind::FourChannel: return all & 0xFu;
        case ViewKind::NineChannel: return all & 0x1FFu;
        case ViewKind::First16Channel: return all & 0xFFFFu;
        case ViewKind::Second16Channel: return all >> 16;
    }
    return all;
}

std::string cameraStatusLine(int camera, std::uint8_t status) {
    static constexpr const char* kTexts[] = {"Normal    ", "Inactive  ", "Lost      ",
                                             "Recording ", "Connection Lost"};
    const char* text = status < std::size(kTexts) ? kTexts[status] : "Unknown   ";
    char line[32];
    std::snprintf(line, sizeof line, "%02d %s", camera, text);
    return line;
}

}  // namespace ambro::live
