#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

#include "playback/PictureSlot.h"

namespace ambro::playback {

// The picture area of the playback window: the latest picture, drawn by the
// window's rules for its width, or the connecting animation.
class PictureView : public QWidget {
public:
    explicit PictureView(QWidget* parent = nullptr);

    // Where a picture of w x h goes in an area: 320-wide pictures are fitted
    // keeping their aspect ratio, 176-wide ones drawn at their own size,
    // 352 and wider fill the width; each 10 pixels in from the edges. An
    // empty rectangle for any other width: such pictures are not drawn.
    static QRect targetRect(QSize area, int width, int height);

    // Takes the newest picture of the slot for drawing; true when there was one.
    bool takePicture(PictureSlot& slot);
    void clearPicture();
    // "Connecting" and `dots` dots, centred; a negative count ends it.
    void showConnecting(int dots);

    const PictureSlot::Picture& picture() const { return picture_; }
    int drawnPictures() const { return drawn_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawPicture(class QPainter& painter);

    PictureSlot::Picture picture_;
    int connectingDots_ = -1;
    int drawn_ = 0;
};

}  // namespace ambro::playback
