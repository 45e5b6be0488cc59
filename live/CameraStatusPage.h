#pragma once

#include <string>
#include <vector>

#include "live/CameraStatus.h"
#include "live/PixelRect.h"

namespace ambro::live {

// One text of the camera-status page, drawn on a single line.
struct PageText {
    std::string text;
    PixelRect area;
    bool centred = false;  // otherwise left-aligned at the area's left edge

    friend bool operator==(const PageText&, const PageText&) = default;
};

// The camera-status page over a client area of width x height: the title
// "Camera Status" centred on the first line, then 16 lines of two cameras,
// line i with camera 2i+1 at the left edge and camera 2i+2 at the middle.
// Each line is height / 20 high.
std::vector<PageText> cameraStatusPage(const CameraStatusTable& status, int width, int height);

}  // namespace ambro::live
