#include "tools/sim/YuvPainter.h"

#include <algorithm>
#include <cstring>

#include "tools/sim/BitmapFont.h"

namespace ambro::sim {

YuvPainter::YuvPainter(YuvPicture& picture, PixelRect clip)
    : picture_(picture), clip_(clip.intersected(picture.bounds())) {}

void YuvPainter::fill(PixelRect rect, Yuv colour) {
    const PixelRect area = rect.intersected(clip_);
    if (area.empty()) return;
    for (int row = area.y; row < area.bottom(); ++row) {
        std::memset(picture_.y.data() + static_cast<std::size_t>(row) * picture_.width + area.x,
                    colour.y, static_cast<std::size_t>(area.width));
    }
    const int chromaLeft = area.x / 2;
    const int chromaRight = std::min((area.right() + 1) / 2, picture_.chromaWidth());
    const int chromaBottom = std::min((area.bottom() + 1) / 2, picture_.chromaHeight());
    for (int row = area.y / 2; row < chromaBottom; ++row) {
        const std::size_t start = static_cast<std::size_t>(row) * picture_.chromaWidth() + chromaLeft;
        const auto count = static_cast<std::size_t>(chromaRight - chromaLeft);
        std::memset(picture_.u.data() + start, colour.u, count);
        std::memset(picture_.v.data() + start, colour.v, count);
    }
}

void YuvPainter::text(int x, int y, const std::string& text, int scale, Yuv ink) {
    for (std::size_t index = 0; index < text.size(); ++index) {
        const auto& glyph = BitmapFont::glyph(text[index]);
        const int left = x + static_cast<int>(index) * BitmapFont::kCellWidth * scale;
        for (int row = 0; row < BitmapFont::kGlyphHeight; ++row) {
            for (int column = 0; column < BitmapFont::kGlyphWidth; ++column) {
                if (!(glyph[row] & (0x10 >> column))) continue;
                fill({left + column * scale, y + row * scale, scale, scale}, ink);
            }
        }
    }
}

void YuvPainter::label(int x, int y, const std::string& text, int scale, Yuv ink, Yuv box) {
    fill({x - 1, y - 1, BitmapFont::textWidth(text, scale) + 1,
          BitmapFont::kCellHeight * scale + 1},
         box);
    this->text(x, y, text, scale, ink);
}

}  // namespace ambro::sim
