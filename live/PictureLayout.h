#pragma once

#include <optional>
#include <string_view>

#include "live/PixelRect.h"

namespace ambro::live {

// What drawPicture is given besides the picture.
struct DrawRequest {
    int pictureWidth = 0;
    int pictureHeight = 0;
    int clientWidth = 0;
    int clientHeight = 0;
    int comboHeight = 0;       // the bottom row's height
    bool fullScreen = false;
    int screenWidth = 0;       // the display's resolution, for the first draw
    int screenHeight = 0;
};

// Where and how to draw one picture.
struct DrawPlan {
    PixelRect destination;     // empty: nothing to draw
    // Fill `clearArea` with the window background before drawing.
    bool clearBackground = false;
    PixelRect clearArea;
    // The first draw on a portrait screen asks the server for 176x144.
    bool requestSmallImageSize = false;
};

// The placement of the live picture in the window: the rotation decided on
// the first draw, the destination rectangle by picture width, and the
// clearing of the background after a size change. User-interface (or
// painting) thread; the caller holds the painting lock.
class PictureLayout {
public:
    // Below this the screen is not taken for a portrait handheld.
    static constexpr int kPortraitMinWidth = 240;
    static constexpr int kPortraitMinHeight = 320;
    static constexpr int kMargin = 5;

    DrawPlan plan(const DrawRequest& request);

    // Rotation is undecided until the first draw.
    std::optional<int> rotation() const { return rotation_; }
    bool rotated() const { return rotation_ == 1; }
    // Image Rotate: the new flag, sent to the server.
    int toggleRotation();
    void setRotation(int rotation) { rotation_ = rotation == 1 ? 1 : 0; }

private:
    PixelRect destination(int pw, int ph, int width, int height) const;

    std::optional<int> rotation_;
    int lastWidth_ = 0;
    int lastHeight_ = 0;
    bool clearBackground_ = false;
};

// Current-generation servers of kinds 519 and 520, and of kinds 505 and 506
// for 176-wide or 112-high pictures, send their pictures upside down: the
// copy to the screen reads the bitmap from its bottom row.
bool sourceUpsideDown(int serverKind, int pictureWidth, int pictureHeight);

// The bottom row: five equal columns (client width / 5) as high as the
// camera selector, at the bottom of the client area.
struct BottomRowLayout {
    PixelRect label;        // "Time", "IO Time" or "Preset"
    PixelRect field;        // time edit, I/O edit or preset list
    PixelRect cameraLabel;  // "Camera"
    PixelRect cameraList;   // columns 3 and 4, to the right edge
};
BottomRowLayout bottomRowLayout(int clientWidth, int clientHeight, int comboHeight);

// Texts drawn over the picture area, centred in the client area.
enum class StatusMessage { SetupResolution, VideoLost };
struct StatusTextPlan {
    std::string_view text;
    bool clearFirst = false;
    PixelRect area;         // centre the text in it
};
StatusTextPlan statusTextPlan(StatusMessage message, int clientWidth, int clientHeight);

}  // namespace ambro::live
