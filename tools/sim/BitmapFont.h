#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace ambro::sim {

// A 5 x 7 pixel font of upper-case letters, digits and common signs; lower
// case is drawn as upper case and unknown characters as "?". Each glyph sits
// in a 6 x 8 cell.
class BitmapFont {
public:
    static constexpr int kGlyphWidth = 5;
    static constexpr int kGlyphHeight = 7;
    static constexpr int kCellWidth = 6;
    static constexpr int kCellHeight = 8;

    // Seven rows, bit 4 the leftmost pixel.
    static const std::array<std::uint8_t, kGlyphHeight>& glyph(char character);
    static int textWidth(const std::string& text, int scale) {
        return static_cast<int>(text.size()) * kCellWidth * scale;
    }
};

}  // namespace ambro::sim
