#include "tools/sim/Panorama.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <vector>

#include "tools/sim/BitmapFont.h"
#include "tools/sim/DomeModel.h"
#include "tools/sim/YuvPainter.h"

namespace ambro::sim {

namespace {

constexpr double kHorizon = 0.55;

unsigned nextRandom(unsigned& seed) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 8) & 0xFFFF;
}

int randomIn(unsigned& seed, int low, int high) {
    return low + static_cast<int>(nextRandom(seed) % static_cast<unsigned>(high - low + 1));
}

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

Panorama::Panorama(int cameraNumber, const std::string& name) : picture_(kWidth, kHeight) {
    unsigned seed = 0x9E37u * static_cast<unsigned>(cameraNumber) + 7u;
    paintSky(seed);
    paintBuildings(seed, name);
    paintRoad();
    paintScale();
    paintPresetMarks();
}

void Panorama::paintSky(unsigned seed) {
    YuvPainter painter(picture_, picture_.bounds());
    const int horizon = static_cast<int>(kHeight * kHorizon);
    const int tint = static_cast<int>(seed % 40);
    for (int band = 0; band < horizon; band += 8) {
        const int light = 110 + 100 * band / horizon;
        painter.fill({0, band, kWidth, 8}, Yuv::fromRgb(light - 40, light - 10 + tint / 4, 235));
    }
    painter.fill({0, horizon, kWidth, kHeight - horizon}, Yuv::fromRgb(96, 120, 80));
}

void Panorama::paintBuildings(unsigned& seed, const std::string& name) {
    YuvPainter painter(picture_, picture_.bounds());
    const int horizon = static_cast<int>(kHeight * kHorizon);
    for (int x = 0; x < kWidth;) {
        const int width = randomIn(seed, 70, 170);
        const int height = randomIn(seed, 110, 320);
        const Yuv wall = Yuv::fromRgb(randomIn(seed, 90, 200), randomIn(seed, 80, 170),
                                      randomIn(seed, 70, 150));
        painter.fill({x, horizon - height, width - 6, height}, wall);
        const Yuv glass = Yuv::fromRgb(40, 60, 90);
        for (int row = horizon - height + 16; row < horizon - 28; row += 34) {
            for (int column = x + 10; column < x + width - 26; column += 26) {
                painter.fill({column, row, 14, 18}, glass);
            }
        }
        x += width;
    }
    const std::string sign = upper(name);
    const int scale = 4;
    const int signWidth = BitmapFont::textWidth(sign, scale) + 16;
    const int signAt = std::clamp(kWidth / 2 - signWidth / 2, 0, kWidth - signWidth);
    painter.fill({signAt, horizon - 90, signWidth, 48}, Yuv::fromRgb(30, 40, 120));
    painter.text(signAt + 8, horizon - 82, sign, scale, Yuv::fromRgb(255, 255, 255));
}

void Panorama::paintRoad() {
    YuvPainter painter(picture_, picture_.bounds());
    const int top = static_cast<int>(kHeight * kRoadTop);
    const int bottom = static_cast<int>(kHeight * kRoadBottom);
    painter.fill({0, top, kWidth, bottom - top}, Yuv::fromRgb(70, 70, 74));
    const int middle = (top + bottom) / 2;
    for (int x = 0; x < kWidth; x += 64) {
        painter.fill({x, middle - 2, 32, 4}, Yuv::fromRgb(240, 240, 240));
    }
    painter.fill({0, bottom, kWidth, 6}, Yuv::fromRgb(190, 190, 190));
}

void Panorama::paintScale() {
    YuvPainter painter(picture_, picture_.bounds());
    const Yuv ink = Yuv::fromRgb(20, 20, 40);
    for (int degrees = -90; degrees <= 90; degrees += 15) {
        const int x = static_cast<int>((degrees + 90) / 180.0 * (kWidth - 1));
        painter.fill({x - 1, 0, 3, 18}, ink);
        const std::string text = std::to_string(degrees);
        painter.text(x - BitmapFont::textWidth(text, 2) / 2, 22, text, 2, ink);
    }
}

void Panorama::paintPresetMarks() {
    YuvPainter painter(picture_, picture_.bounds());
    for (int preset = 1; preset <= 16; ++preset) {
        const DomePosition at = DomeModel::presetPosition(preset);
        const std::string text = std::string("P").append(std::to_string(preset));
        const int width = BitmapFont::textWidth(text, 3) + 10;
        const int x = static_cast<int>(at.x) - width / 2;
        const int y = static_cast<int>(at.y) - 16;
        painter.fill({x, y, width, 32}, Yuv::fromRgb(250, 210, 40));
        painter.text(x + 5, y + 5, text, 3, Yuv::fromRgb(10, 10, 10));
    }
}

Panorama::Window Panorama::windowFor(double centreX, double centreY, double zoom,
                                     const PixelRect& target) {
    Window window;
    window.height = kBaseWindowHeight / std::max(zoom, 1.0);
    window.width = std::min<double>(window.height * target.width / std::max(target.height, 1),
                                    kWidth);
    window.height = std::min<double>(window.height, kHeight);
    window.left = std::clamp(centreX - window.width / 2, 0.0, kWidth - window.width);
    window.top = std::clamp(centreY - window.height / 2, 0.0, kHeight - window.height);
    return window;
}

void Panorama::copyWindow(double centreX, double centreY, double zoom, YuvPicture& picture,
                          const PixelRect& target) const {
    const PixelRect area = target.intersected(picture.bounds());
    if (area.empty()) return;
    const Window window = windowFor(centreX, centreY, zoom, target);
    const double stepX = window.width / target.width;
    const double stepY = window.height / target.height;

    std::vector<int> columns(static_cast<std::size_t>(area.width));
    for (int i = 0; i < area.width; ++i) {
        const int source = static_cast<int>(window.left + (area.x - target.x + i + 0.5) * stepX);
        columns[static_cast<std::size_t>(i)] = std::clamp(source, 0, kWidth - 1);
    }
    for (int row = area.y; row < area.bottom(); ++row) {
        const int sourceRow = std::clamp(
            static_cast<int>(window.top + (row - target.y + 0.5) * stepY), 0, kHeight - 1);
        const std::uint8_t* from = picture_.y.data() + static_cast<std::size_t>(sourceRow) * kWidth;
        std::uint8_t* to = picture.y.data() + static_cast<std::size_t>(row) * picture.width + area.x;
        for (int i = 0; i < area.width; ++i) to[i] = from[columns[static_cast<std::size_t>(i)]];
    }
    const int chromaLeft = area.x / 2;
    const int chromaRight = std::min((area.right() + 1) / 2, picture.chromaWidth());
    const int chromaBottom = std::min((area.bottom() + 1) / 2, picture.chromaHeight());
    for (int row = area.y / 2; row < chromaBottom; ++row) {
        const int sourceRow = std::clamp(
            static_cast<int>(window.top + (2 * row - target.y + 1) * stepY) / 2, 0, kHeight / 2 - 1);
        const std::size_t from = static_cast<std::size_t>(sourceRow) * (kWidth / 2);
        const std::size_t to = static_cast<std::size_t>(row) * picture.chromaWidth();
        for (int column = chromaLeft; column < chromaRight; ++column) {
            const int index = std::clamp(2 * column - area.x, 0, area.width - 1);
            const int source = columns[static_cast<std::size_t>(index)] / 2;
            picture.u[to + column] = picture_.u[from + source];
            picture.v[to + column] = picture_.v[from + source];
        }
    }
}

}  // namespace ambro::sim
