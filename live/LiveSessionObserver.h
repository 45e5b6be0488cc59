#pragma once

#include <cstdint>

namespace ambro::live {

// What a live session reports to its window. Calls come from the session's
// reader threads; an implementation marshals them to its own thread. The
// picture is valid only during the call.
class LiveSessionObserver {
public:
    virtual ~LiveSessionObserver() = default;

    virtual void pictureSizeChanged(int /*width*/, int /*height*/) {}
    // A decoded picture: bottom-up BGR, rows width x 3 bytes apart.
    virtual void pictureReady(const std::uint8_t* /*picture*/, int /*width*/, int /*height*/) {}
    // A frame without payload: the window draws "Video Lost".
    virtual void videoLost() {}
    // A size code outside the table: the window draws "Error!! Please Setup
    // Resolution"; the session has stopped video.
    virtual void unsupportedImageSize(int /*code*/) {}
    // The video connection broke while the session was not closing: the
    // window shows "Disconnect" and ends the session.
    virtual void disconnected() {}
    // The video reader has ended, for whatever reason, while the session was
    // not closing: no more pictures will come.
    virtual void videoStopped() {}
    // The current camera's dome: whether it has one, and the capability byte
    // (bit 0 home, 1 auto focus, 2 tilt, 3 pan, 4 zoom, 5 focus, 6 auto,
    // 7 preset).
    virtual void ptzCapabilities(bool /*present*/, std::uint8_t /*capabilities*/) {}
    virtual void cameraStatusReceived(int /*index*/) {}
};

}  // namespace ambro::live
