#include "tools/sim/PictureSynthesiser.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "tools/sim/BitmapFont.h"
#include "tools/sim/YuvPainter.h"

namespace ambro::sim {

namespace {

const Yuv kWhite = Yuv::fromRgb(255, 255, 255);
const Yuv kShade = Yuv::fromRgb(16, 16, 24);
const Yuv kRed = Yuv::fromRgb(220, 30, 30);
const Yuv kYellow = Yuv::fromRgb(250, 220, 40);

constexpr double kCarSpeed = 110.0;  // panorama pixels per second
constexpr double kMarkerPeriod = 2.0;

std::string upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string twoDigits(int number) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d", number);
    return text;
}

double secondsOfDay(TimePoint time) {
    const DateTime local = localDateTime(time);
    return local.hour * 3600.0 + local.minute * 60.0 + local.second + local.millisecond / 1000.0;
}

int textScaleFor(const PixelRect& cell) {
    return cell.width >= 300 ? 2 : 1;
}

}  // namespace

PictureSynthesiser::PictureSynthesiser(const CameraCatalogue& cameras,
                                       std::vector<DomeModel*> domes, const IoModel& io)
    : cameras_(cameras), domes_(std::move(domes)), io_(io),
      panoramas_(static_cast<std::size_t>(cameras.count())) {}

const Panorama& PictureSynthesiser::panorama(int index) {
    std::lock_guard lock(panoramasMutex_);
    auto& slot = panoramas_.at(static_cast<std::size_t>(index));
    if (!slot) {
        const CameraSetup& camera = cameras_.camera(index);
        slot = std::make_unique<Panorama>(camera.number, camera.name);
    }
    return *slot;
}

PixelRect PictureSynthesiser::viewCell(int grid, int position, int width, int height) {
    const int cellWidth = width / grid;
    const int cellHeight = height / grid;
    return {(position % grid) * cellWidth, (position / grid) * cellHeight, cellWidth, cellHeight};
}

void PictureSynthesiser::drawView(int grid, int firstCamera, const SceneMoment& moment,
                                  YuvPicture& picture) {
    YuvPainter(picture, picture.bounds()).fill(picture.bounds(), kShade);
    for (int position = 0; position < grid * grid; ++position) {
        const int index = firstCamera + position;
        if (!cameras_.exists(index)) continue;
        drawCamera(index, moment, picture, viewCell(grid, position, picture.width, picture.height));
    }
}

void PictureSynthesiser::drawCamera(int index, const SceneMoment& moment, YuvPicture& picture,
                                    const PixelRect& cell) {
    if (cameras_.camera(index).lost()) {
        drawLost(index, picture, cell);
        return;
    }
    drawScene(index, moment, picture, cell);
    drawOverlay(index, moment, picture, cell);
}

void PictureSynthesiser::drawScene(int index, const SceneMoment& moment, YuvPicture& picture,
                                   const PixelRect& cell) {
    DomePosition at = DomeModel::homePosition();
    DomeModel* dome = domes_.at(static_cast<std::size_t>(index));
    if (dome && moment.live) at = dome->positionAt(moment.steadyTime);
    const Panorama& scene = panorama(index);
    scene.copyWindow(at.x, at.y, at.zoom, picture, cell);
    const Panorama::Window window = Panorama::windowFor(at.x, at.y, at.zoom, cell);
    drawCar(window, secondsOfDay(moment.wallTime), index, picture, cell);

    // What the privacy masks hide: live, the client must black these out;
    // recordings have them blacked out already.
    YuvPainter painter(picture, cell);
    for (const PixelRect& mask : masksIn(index, cell)) {
        if (!moment.live) {
            painter.fill(mask, Yuv{16, 128, 128});
            continue;
        }
        // Inset, so the colour of the box does not bleed past the mask
        // through the half-resolution chroma.
        const PixelRect box{mask.x + 2, mask.y + 2, mask.width - 4, mask.height - 4};
        YuvPainter inside(picture, box.intersected(cell));
        inside.fill(box, kRed);
        inside.text(box.x + 2, box.y + 2, "PRIVATE", 1, kWhite);
    }
}

void PictureSynthesiser::drawCar(const Panorama::Window& window, double seconds, int index,
                                 YuvPicture& picture, const PixelRect& cell) const {
    const double span = Panorama::kWidth + 200.0;
    const double carX = std::fmod(seconds * kCarSpeed + index * 173.0, span) - 100.0;
    const double carY = Panorama::kHeight * (Panorama::kRoadTop + Panorama::kRoadBottom) / 2 - 30;
    const double scaleX = cell.width / window.width;
    const double scaleY = cell.height / window.height;
    const auto toCell = [&](double x, double y, double w, double h) {
        return PixelRect{cell.x + static_cast<int>((x - window.left) * scaleX),
                         cell.y + static_cast<int>((y - window.top) * scaleY),
                         std::max(1, static_cast<int>(w * scaleX)),
                         std::max(1, static_cast<int>(h * scaleY))};
    };
    YuvPainter painter(picture, cell);
    painter.fill(toCell(carX, carY, 96, 26), Yuv::fromRgb(40 + (25 * index) % 200, 60, 200));
    painter.fill(toCell(carX + 18, carY - 16, 56, 18), Yuv::fromRgb(150, 190, 230));
    painter.fill(toCell(carX + 10, carY + 22, 18, 14), kShade);
    painter.fill(toCell(carX + 66, carY + 22, 18, 14), kShade);
}

void PictureSynthesiser::drawOverlay(int index, const SceneMoment& moment, YuvPicture& picture,
                                     const PixelRect& cell) {
    const CameraSetup& camera = cameras_.camera(index);
    const int scale = textScaleFor(cell);
    const int lineHeight = BitmapFont::kCellHeight * scale + 3;
    YuvPainter painter(picture, cell);

    std::string title = twoDigits(camera.number);
    if (cell.width >= 120) title.append(" ").append(upper(camera.name));
    painter.label(cell.x + 3, cell.y + 3, title, scale, kWhite, kShade);
    if (cell.width < 120) return;

    const DateTime clock = localDateTime(moment.wallTime);
    char time[48];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d.%d", clock.hour, clock.minute, clock.second,
                  clock.millisecond / 100);
    const int timeX = cell.right() - BitmapFont::textWidth(time, scale) - 3;
    painter.label(timeX, cell.y + 3, time, scale, kWhite, kShade);
    char date[48];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", clock.year, clock.month, clock.day);
    painter.label(cell.right() - BitmapFont::textWidth(date, 1) - 3, cell.y + 3 + lineHeight, date,
                  1, kWhite, kShade);
    if (camera.status == CameraStatus::Recording) {
        painter.label(timeX, cell.y + 3 + lineHeight, "REC", 1, kWhite, kRed);
    }

    // A marker that moves in every picture, so a frozen stream shows at once.
    const double phase = std::fmod(secondsOfDay(moment.wallTime), kMarkerPeriod) / kMarkerPeriod;
    const int travel = cell.width / 3;
    const int markerX = cell.right() - travel - 10 +
                        static_cast<int>(travel * (phase < 0.5 ? 2 * phase : 2 - 2 * phase));
    painter.fill({markerX, cell.bottom() - 12, 8, 8}, kYellow);

    int y = cell.bottom() - 12;
    DomeModel* dome = domes_.at(static_cast<std::size_t>(index));
    const std::string domeText = !camera.hasDome() ? "FIXED CAMERA"
                                 : moment.live     ? dome->statusText(moment.steadyTime)
                                                   : "DOME AT HOME";
    painter.label(cell.x + 3, y, domeText, 1, kWhite, kShade);
    if (!moment.live) return;
    const auto lines = io_.overlayLines(moment.wallTime);
    for (std::size_t i = 0; i < lines.size() && i < 3; ++i) {
        y -= 11;
        painter.label(cell.x + 3, y, lines[i], 1, kWhite, i == 0 ? kRed : kShade);
    }
}

void PictureSynthesiser::drawLost(int index, YuvPicture& picture, const PixelRect& cell) const {
    YuvPainter painter(picture, cell);
    painter.fill(cell, Yuv::fromRgb(20, 40, 150));
    const int scale = textScaleFor(cell);
    const std::string text = "VIDEO LOST";
    painter.text(cell.x + (cell.width - BitmapFont::textWidth(text, scale)) / 2,
                 cell.y + cell.height / 2 - 4 * scale, text, scale, kWhite);
    painter.label(cell.x + 3, cell.y + 3, twoDigits(cameras_.camera(index).number), scale, kWhite,
                  kShade);
}

std::vector<PixelRect> PictureSynthesiser::masksIn(int index, const PixelRect& cell) const {
    std::vector<PixelRect> rects;
    for (const FractionRect& mask : cameras_.camera(index).privacyMasks) {
        rects.push_back({cell.x + static_cast<int>(mask.left * cell.width),
                         cell.y + static_cast<int>(mask.top * cell.height),
                         static_cast<int>(mask.width * cell.width),
                         static_cast<int>(mask.height * cell.height)});
    }
    return rects;
}

}  // namespace ambro::sim
