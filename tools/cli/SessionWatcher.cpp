#include "tools/cli/SessionWatcher.h"

#include <algorithm>

namespace ambro::cli {

void SessionWatcher::connectFailed(live::LiveFailure failure, const std::string& detail) {
    update([&] {
        failure_ = std::string(live::liveFailureText(failure)) + (detail.empty() ? "" : ": " + detail);
    });
}

void SessionWatcher::sessionReady(live::Generation) {
    update([&] { ready_ = true; });
}

void SessionWatcher::disconnected(const std::string& headline, const std::string& detail) {
    update([&] {
        const std::string text = headline + (detail.empty() ? "" : ": " + detail);
        (ready_ ? ended_ : failure_) = text;
    });
}

void SessionWatcher::videoStopped() {
    update([&] {
        if (ended_.empty()) ended_ = "the server sent video the client cannot follow";
    });
}

void SessionWatcher::pictureDecoded(const live::PictureView& picture) {
    PictureSink sink;
    update([&] {
        const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
        picture_.resize(row * static_cast<std::size_t>(picture.height));
        for (int y = 0; y < picture.height; ++y) {
            std::copy_n(picture.pixels + y * picture.stride, row, picture_.begin() + y * row);
        }
        width_ = picture.width;
        height_ = picture.height;
        ++pictures_;
        sink = sink_;
    });
    if (sink) sink(picture);
}

bool SessionWatcher::waitForSession(std::chrono::milliseconds timeout, std::string& why) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return ready_ || !failure_.empty(); });
    if (ready_) return true;
    why = failure_.empty() ? "Connected Failed: the server did not finish the log-in in time"
                           : failure_;
    return false;
}

int SessionWatcher::pictures() const {
    std::lock_guard lock(mutex_);
    return pictures_;
}

std::string SessionWatcher::ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

std::vector<std::uint8_t> SessionWatcher::picture(int& width, int& height) const {
    std::lock_guard lock(mutex_);
    width = width_;
    height = height_;
    return picture_;
}

void SessionWatcher::setSink(PictureSink sink) {
    std::lock_guard lock(mutex_);
    sink_ = std::move(sink);
}

}  // namespace ambro::cli
