#include "tests/live/view/WindowHarness.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <thread>

#include "live/view/LivePictureWidget.h"
#include "live/view/LiveToolbarStrip.h"
#include "tests/support/Mpeg4Fixtures.h"
#include "tests/support/PayloadBuilder.h"

namespace ambro::test {

namespace {

// The fixtures are coded top row first, so they travel with the flip tail
// that says so; without it the window shows them upside down, as it shows
// every picture coded that way.
std::vector<Bytes> fixturePayloads(const std::string& fixture) {
    std::vector<Bytes> payloads;
    for (const auto& picture : splitIntoPictures(readFile(fixturePath(fixture)))) {
        payloads.push_back(
            PayloadBuilder(PayloadMarker::None, picture.bytes).word(0).flipTail().build());
    }
    return payloads;
}

double brightness(const QImage& image, const QRect& area) {
    double sum = 0;
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            sum += qGray(image.pixel(x, y));
            ++count;
        }
    }
    return count ? sum / count : 0;
}

}  // namespace

std::vector<FakeOlderFrame> olderFixtureFrames(const std::string& fixture,
                                               std::chrono::milliseconds apart) {
    std::vector<FakeOlderFrame> frames;
    std::int64_t at = 0;
    for (Bytes& payload : fixturePayloads(fixture)) {
        frames.push_back({std::move(payload), fakeFrameTime(at)});
        at += apart.count();
    }
    return frames;
}

std::vector<FakeVideoFrame> currentFixtureFrames(const std::string& fixture,
                                                 std::uint8_t sizeCode) {
    std::vector<FakeVideoFrame> frames;
    std::uint32_t sequence = 1;
    for (Bytes& payload : fixturePayloads(fixture)) {
        const std::uint8_t kind = sequence == 1 ? 0 : 1;
        frames.push_back({sequence++, sizeCode, kind, std::move(payload), 0, false});
    }
    return frames;
}

live::LiveSessionSettings windowSettings(const net::SessionEndpoint& endpoint,
                                         const std::filesystem::path& snapshotFolder) {
    return {endpoint, "admin", "pw", snapshotFolder, AMBRO_PTZ_SETUP_DIR};
}

bool clickButton(live::LiveViewDialog& dialog, const std::string& tooltip) {
    // The toolbar lays its buttons out afresh after every change.
    QApplication::processEvents();
    const auto shown = dialog.toolbarModel().visibleToolbar();
    if (!shown) return false;
    QToolBar* bar = dialog.toolbarStrip()->toolbar(*shown);
    // Page buttons share their tooltips: the one on the page shown counts.
    for (QAction* action : bar->actions()) {
        if (action->toolTip().toStdString() != tooltip || !action->isVisible()) continue;
        auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
        if (!action->isEnabled() || !button || !button->isVisible()) return false;
        QTest::mouseClick(button, Qt::LeftButton);
        return true;
    }
    return false;
}

PictureGrab grabPicture(live::LiveViewDialog& dialog) {
    live::LivePictureWidget* widget = dialog.pictureWidget();
    const QImage image = widget->grab().toImage();
    const QColor background = widget->palette().window().color();
    const live::PixelRect drawn = widget->lastDestination();
    const QRect area = QRect(drawn.x, drawn.y, drawn.width, drawn.height)
                           .intersected(image.rect());
    PictureGrab grab;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            ++grab.drawnPixels;
            if (image.pixelColor(x, y) != background) ++grab.foregroundPixels;
        }
    }
    const int band = area.height() / 8;
    grab.topBrightness = brightness(image, QRect(area.left(), area.top(), area.width() / 2, band));
    grab.bottomBrightness = brightness(
        image, QRect(area.left(), area.bottom() - band + 1, area.width() / 2, band));
    return grab;
}

}  // namespace ambro::test
