#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <string>

#include "live/LiveNavigator.h"
#include "live/LiveSession.h"
#include "live/PictureLayout.h"
#include "live/view/LiveBottomRow.h"

namespace ambro::live {

// What the picture area draws from: in the window, the live session.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // "PaintMutex": the picture may be read only while it is held.
    virtual std::unique_lock<std::recursive_timed_mutex> lockPaint(
        std::chrono::milliseconds wait) = 0;
    virtual PictureView picture() const = 0;
    virtual CameraStatusTable cameraStatus() const = 0;
};

// The live session as the picture area's source.
class SessionPictures : public PictureSource {
public:
    explicit SessionPictures(LiveSession& session) : session_(session) {}
    std::unique_lock<std::recursive_timed_mutex> lockPaint(
        std::chrono::milliseconds wait) override {
        return session_.lockPaint(wait);
    }
    PictureView picture() const override { return session_.picture(); }
    CameraStatusTable cameraStatus() const override { return session_.cameraStatus(); }

private:
    LiveSession& session_;
};

// The client area of the live view: the session's picture scaled into the
// place the picture layout gives, the highlighted cell of a view, the texts
// drawn over the picture, the connecting animation and the camera-status
// page; the bottom row lies over its lower edge. Taps are handed on.
class LivePictureWidget : public QWidget {
public:
    using TapHandler = std::function<void(int x, int y)>;

    LivePictureWidget(PictureSource& source, const LiveNavigator& navigator,
                      QWidget* parent = nullptr);

    LiveBottomRow& bottomRow() { return bottomRow_; }
    PictureLayout& layout() { return layout_; }
    // Where the picture was drawn last, for taps.
    PixelRect lastDestination() const { return lastDestination_; }
    int picturesPainted() const { return picturesPainted_; }

    void setTapHandler(TapHandler handler) { tap_ = std::move(handler); }
    // The first draw on a portrait screen asks for the small image size.
    void setSmallSizeHandler(std::function<void()> handler) { smallSize_ = std::move(handler); }
    // Called after every paint that drew a picture (for measuring).
    void setPaintedHandler(std::function<void()> handler) { painted_ = std::move(handler); }

    // Current-generation servers of some kinds send their pictures upside down.
    void setServerKind(int kind) { serverKind_ = kind; }
    // The connecting animation's text; none once the session has answered.
    void setConnectingText(std::optional<std::string> text);
    void setCameraStatusPage(bool shown);
    void showStatusText(StatusMessage message);
    // The saved snapshot's name, or why none was saved: drawn over the next
    // picture.
    void showNote(std::string text);
    // A new picture is ready: it replaces the status texts and a note that
    // has been shown.
    void pictureArrived();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool drawPicture(QPainter& painter);
    void drawHighlight(QPainter& painter, const PictureView& picture);
    void drawCameraStatusPage(QPainter& painter);
    void drawCentred(QPainter& painter, const QString& text);

    PictureSource& source_;
    const LiveNavigator& navigator_;
    LiveBottomRow bottomRow_;
    PictureLayout layout_;
    PixelRect lastDestination_;
    int serverKind_ = 0;
    int picturesPainted_ = 0;
    std::optional<std::string> connecting_;
    bool cameraStatusPage_ = false;
    std::optional<StatusMessage> statusText_;
    std::optional<std::string> note_;
    bool noteShown_ = false;
    TapHandler tap_;
    std::function<void()> smallSize_;
    std::function<void()> painted_;
};

}  // namespace ambro::live
