#pragma once

#include <string>

#include "tools/sim/YuvPicture.h"

namespace ambro::sim {

// Draws flat shapes and text into a picture, never outside the clip
// rectangle (a cell of a multi-camera view, or the whole picture).
class YuvPainter {
public:
    YuvPainter(YuvPicture& picture, PixelRect clip);

    const PixelRect& clip() const { return clip_; }
    void fill(PixelRect rect, Yuv colour);
    void text(int x, int y, const std::string& text, int scale, Yuv ink);
    // Text on a box one pixel wider than the text on every side.
    void label(int x, int y, const std::string& text, int scale, Yuv ink, Yuv box);

private:
    YuvPicture& picture_;
    PixelRect clip_;
};

}  // namespace ambro::sim
