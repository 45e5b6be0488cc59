#pragma once

namespace ambro::live {

// A rectangle in pixels: left, top, width, height. A point is inside when it
// lies on the left or top edge or between the edges, as a window system
// tests a tap against a rectangle.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool contains(int px, int py) const {
        return px >= x && px < x + width && py >= y && py < y + height;
    }
    bool empty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

}  // namespace ambro::live
