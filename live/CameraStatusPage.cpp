#include "live/CameraStatusPage.h"

namespace ambro::live {

namespace {

constexpr int kPageLines = 20;
constexpr int kCameraLines = kStatusCameras / 2;

}  // namespace

std::vector<PageText> cameraStatusPage(const CameraStatusTable& status, int width, int height) {
    const int line = height / kPageLines;
    const int middle = width / 2;
    std::vector<PageText> texts;
    texts.push_back({"Camera Status", {0, 0, width, line}, true});
    for (int i = 0; i < kCameraLines; ++i) {
        const int top = (i + 1) * line;
        texts.push_back(
            {cameraStatusLine(2 * i + 1, status[2 * i]), {0, top, middle, line}, false});
        texts.push_back({cameraStatusLine(2 * i + 2, status[2 * i + 1]),
                         {middle, top, width - middle, line},
                         false});
    }
    return texts;
}

}  // namespace ambro::live
