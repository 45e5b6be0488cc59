#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "live/LiveSession.h"
#include "live/view/LiveViewDialog.h"
#include "tests/support/FakeLiveServer.h"
#include "tests/support/FakeOlderServer.h"
#include "tests/support/ProcessUntil.h"

namespace ambro::test {

// The pictures of a fixture stream as an older-generation server sends them,
// `apart` from one another.
std::vector<FakeOlderFrame> olderFixtureFrames(
    const std::string& fixture = "mpeg4/mpeg4_176x144_bf0.m4v",
    std::chrono::milliseconds apart = std::chrono::milliseconds(40));
// The same as a current-generation server sends them: the first picture
// stands alone, the others follow it in sequence.
std::vector<FakeVideoFrame> currentFixtureFrames(
    const std::string& fixture = "mpeg4/mpeg4_176x144_bf0.m4v", std::uint8_t sizeCode = 21);

live::LiveSessionSettings windowSettings(const net::SessionEndpoint& endpoint,
                                         const std::filesystem::path& snapshotFolder);

// Clicks the button with this tooltip on the window's visible toolbar, as
// the mouse does; false when no such button can be clicked.
bool clickButton(live::LiveViewDialog& dialog, const std::string& tooltip);

// What a grab of the picture area shows where the picture was drawn.
struct PictureGrab {
    int drawnPixels = 0;        // pixels of the destination
    int foregroundPixels = 0;   // of those, pixels not of the window background
    double topBrightness = 0;   // mean of the left half of the top eighth
    double bottomBrightness = 0;  // mean of the left half of the bottom eighth
};
PictureGrab grabPicture(live::LiveViewDialog& dialog);

}  // namespace ambro::test
