#include "playback/view/PictureView.h"

#include <QImage>
#include <QPainter>

namespace ambro::playback {

namespace {

constexpr int kMargin = 10;

}  // namespace

PictureView::PictureView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

QRect PictureView::targetRect(QSize area, int width, int height) {
    const int areaWidth = area.width() - 2 * kMargin;
    const int areaHeight = area.height() - 2 * kMargin;
    if (areaWidth <= 0 || areaHeight <= 0 || width <= 0 || height <= 0) return {};
    const auto scaled = [](int value, int numerator, int denominator) {
        return static_cast<int>(static_cast<long long>(value) * numerator / denominator);
    };
    if (width == 320) {
        // Wider than the area in proportion: fill the width; else the height.
        if (static_cast<long long>(width) * areaHeight >= static_cast<long long>(height) * areaWidth) {
            const int fittedHeight = scaled(height, areaWidth, width);
            return {kMargin, (area.height() - fittedHeight) / 2, areaWidth, fittedHeight};
        }
        const int fittedWidth = scaled(width, areaHeight, height);
        return {(area.width() - fittedWidth) / 2, kMargin, fittedWidth, areaHeight};
    }
    if (width == 176) {
        return {(area.width() - width) / 2, (area.height() - height) / 2, width, height};
    }
    if (width >= 352) {
        const int fittedHeight = scaled(height, areaWidth, width);
        return {kMargin, (area.height() - fittedHeight) / 2, areaWidth, fittedHeight};
    }
    return {};
}

bool PictureView::takePicture(PictureSlot& slot) {
    if (!slot.take(picture_)) return false;
    connectingDots_ = -1;
    update();
    return true;
}

void PictureView::clearPicture() {
    picture_.width = 0;
    picture_.height = 0;
    update();
}

void PictureView::showConnecting(int dots) {
    connectingDots_ = dots;
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (connectingDots_ >= 0) {
        painter.setPen(Qt::white);
        painter.setFont(QFont(QStringLiteral("Arial"), 12));
        painter.drawText(rect(), Qt::AlignCenter,
                         QStringLiteral("Connecting") + QString(connectingDots_, QLatin1Char('.')));
        return;
    }
    if (!picture_.empty()) drawPicture(painter);
}

// The picture is bottom-up: the painter mirrors it while scaling it into
// place, straight from the decoded buffer.
void PictureView::drawPicture(QPainter& painter) {
    const QRect target = targetRect(size(), picture_.width, picture_.height);
    if (target.isEmpty()) return;
    const QImage image(picture_.pixels.data(), picture_.width, picture_.height,
                       static_cast<qsizetype>(picture_.width) * 3, QImage::Format_BGR888);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(target.left(), target.top() + target.height());
    painter.scale(1, -1);
    painter.drawImage(QRect(0, 0, target.width(), target.height()), image);
    ++drawn_;
}

}  // namespace ambro::playback
