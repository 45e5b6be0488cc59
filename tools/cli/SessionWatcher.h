#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "live/LiveSessionObserver.h"

namespace ambro::cli {

// What a command without a window hears of its live session: whether it is
// usable or why not, why pictures stopped, and the latest decoded picture.
// Every decoded picture can also go to a sink, on the decoding thread.
class SessionWatcher : public live::LiveSessionObserver {
public:
    using PictureSink = std::function<void(const live::PictureView&)>;

    void connectFailed(live::LiveFailure failure, const std::string& detail) override;
    void sessionReady(live::Generation) override;
    void disconnected(const std::string& headline, const std::string& detail) override;
    void videoStopped() override;
    void pictureDecoded(const live::PictureView& picture) override;

    // True once the session is usable; false with `why` when it failed or
    // the wait ran out.
    bool waitForSession(std::chrono::milliseconds timeout, std::string& why);
    int pictures() const;
    // Why no more pictures will come, if that is so.
    std::string ended() const;
    // The latest picture, rows packed bottom-up.
    std::vector<std::uint8_t> picture(int& width, int& height) const;
    void setSink(PictureSink sink);

private:
    template <typename Change>
    void update(Change change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    std::string failure_;
    std::string ended_;
    std::vector<std::uint8_t> picture_;
    int width_ = 0;
    int height_ = 0;
    int pictures_ = 0;
    PictureSink sink_;
};

}  // namespace ambro::cli
