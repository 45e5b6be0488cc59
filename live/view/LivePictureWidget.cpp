#include "live/view/LivePictureWidget.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "live/CameraStatusPage.h"
#include "live/CellGrid.h"

namespace ambro::live {

namespace {

using namespace std::chrono_literals;

// drawPicture tries "PaintMutex" this long and draws nothing without it.
constexpr auto kPaintTry = 5ms;

QRect toQRect(const PixelRect& rect) { return {rect.x, rect.y, rect.width, rect.height}; }

}  // namespace

LivePictureWidget::LivePictureWidget(PictureSource& source, const LiveNavigator& navigator,
                                     QWidget* parent)
    : QWidget(parent), source_(source), navigator_(navigator), bottomRow_(this) {
    setFont(QFont(QStringLiteral("Arial")));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 120);
}

void LivePictureWidget::setConnectingText(std::optional<std::string> text) {
    connecting_ = std::move(text);
    update();
}

void LivePictureWidget::setCameraStatusPage(bool shown) {
    cameraStatusPage_ = shown;
    update();
}

void LivePictureWidget::showStatusText(StatusMessage message) {
    statusText_ = message;
    update();
}

void LivePictureWidget::showNote(std::string text) {
    note_ = std::move(text);
    noteShown_ = false;
    update();
}

void LivePictureWidget::pictureArrived() {
    statusText_.reset();
    if (noteShown_) note_.reset();
    update();
}

void LivePictureWidget::resizeEvent(QResizeEvent*) { bottomRow_.layout(width(), height()); }

void LivePictureWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (connecting_) {
        drawCentred(painter, QString::fromStdString(*connecting_));
        return;
    }
    if (cameraStatusPage_) {
        drawCameraStatusPage(painter);
        return;
    }
    if (statusText_ == StatusMessage::VideoLost) {
        const auto plan = statusTextPlan(*statusText_, width(), height());
        drawCentred(painter, QString::fromUtf8(plan.text.data(), plan.text.size()));
        return;
    }
    const bool drawn = drawPicture(painter);
    if (statusText_) {
        const auto plan = statusTextPlan(*statusText_, width(), height());
        drawCentred(painter, QString::fromUtf8(plan.text.data(), plan.text.size()));
    }
    if (note_) {
        drawCentred(painter, QString::fromStdString(*note_));
        noteShown_ = true;
    }
    if (drawn) {
        ++picturesPainted_;
        if (painted_) painted_();
    }
}

// The picture is a bottom-up buffer: the painter turns it upright while it
// scales it into place, except for servers that send it upside down, where
// reading it as it lies turns it the right way up.
bool LivePictureWidget::drawPicture(QPainter& painter) {
    const auto paint = source_.lockPaint(kPaintTry);
    if (!paint) return false;
    const PictureView picture = source_.picture();
    if (!picture.pixels || picture.width <= 0 || picture.height <= 0) return false;

    DrawRequest request;
    request.pictureWidth = picture.width;
    request.pictureHeight = picture.height;
    request.clientWidth = width();
    request.clientHeight = height();
    request.comboHeight = bottomRow_.height();
    request.fullScreen = navigator_.fullScreen();
    if (const QScreen* display = screen()) {
        request.screenWidth = display->size().width();
        request.screenHeight = display->size().height();
    }
    request.fitEveryWidth = true;
    const DrawPlan plan = layout_.plan(request);
    if (plan.requestSmallImageSize && smallSize_) smallSize_();
    if (plan.clearBackground) painter.fillRect(toQRect(plan.clearArea), palette().window());
    if (plan.destination.empty()) return false;

    const QImage image(picture.pixels, picture.width, picture.height,
                       static_cast<qsizetype>(picture.stride), QImage::Format_BGR888);
    const PixelRect& to = plan.destination;
    const QTransform toScreen = QTransform::fromTranslate(to.x, to.y)
                                    .scale(static_cast<double>(to.width) / picture.width,
                                           static_cast<double>(to.height) / picture.height);
    const QTransform upright(1, 0, 0, -1, 0, picture.height);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setTransform(
        sourceUpsideDown(serverKind_, picture.width, picture.height) ? toScreen
                                                                       : upright * toScreen);
    painter.drawImage(QPointF(0, 0), image);
    painter.setTransform(toScreen);
    drawHighlight(painter, picture);
    painter.restore();
    lastDestination_ = to;
    return true;
}

// The red border of the selected cell, in picture coordinates: it scales
// with the picture.
void LivePictureWidget::drawHighlight(QPainter& painter, const PictureView& picture) {
    const auto view = navigator_.currentView();
    const int selected = navigator_.cells().selected();
    if (!view || selected < 0) return;
    const PixelRect cell = cell_grid::highlightRect({0, 0, picture.width, picture.height},
                                                    gridSize(*view), selected, layout_.rotated());
    for (const PixelRect& strip : cell_grid::borderStrips(cell)) {
        painter.fillRect(toQRect(strip), Qt::red);
    }
}

void LivePictureWidget::drawCameraStatusPage(QPainter& painter) {
    painter.setPen(palette().windowText().color());
    for (const PageText& text : cameraStatusPage(source_.cameraStatus(), width(), height())) {
        const int alignment = Qt::TextSingleLine | Qt::AlignVCenter |
                              (text.centred ? Qt::AlignHCenter : Qt::AlignLeft);
        painter.drawText(toQRect(text.area), alignment, QString::fromStdString(text.text));
    }
}

// Texts over the picture stand on a box of their own, so that they can be
// read on any picture.
void LivePictureWidget::drawCentred(QPainter& painter, const QString& text) {
    painter.setPen(palette().windowText().color());
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(palette().base());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
}

void LivePictureWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const bool onBottomRow = bottomRow_.visible() && at.y() >= height() - bottomRow_.height();
    if (!onBottomRow && tap_) tap_(at.x(), at.y());
}

}  // namespace ambro::live
