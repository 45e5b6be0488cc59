#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "live/CellSelection.h"
#include "live/CommandMailbox.h"
#include "live/FrameRing.h"
#include "live/LiveSessionObserver.h"
#include "live/LiveTables.h"

namespace ambro::live {

// The state a live session's threads share: the session thread of an
// older-generation server writes it, the window's side and the control
// thread read it. Flags are atomics; the tables have their own lock.
class LiveShared {
public:
    explicit LiveShared(LiveSessionObserver& observer) : observer(observer) {}

    LiveSessionObserver& observer;
    CommandMailbox mailbox;
    FrameRing ring;
    LiveTables tables;
    // The window's highlighted cell, updated for every video header; none
    // for tools without a view.
    std::atomic<CellSelection*> cells{nullptr};

    // Set once the session thread has finished its log-in and may serve.
    std::atomic<bool> running{false};
    // Set when the user closes the session: nothing is reported any more.
    std::atomic<bool> closing{false};
    // The camera-status page: 0 off, 1 requested, 2 shown.
    std::atomic<int> statusPage{0};
    // Set while the input monitor is open: alarm polls replace the stream.
    std::atomic<bool> ioMonitoring{false};
    // Set when a stream's first audio block has come.
    std::atomic<bool> audioArrived{false};
    // Counts stream starts: the display restarts its pacing for each.
    std::atomic<std::uint32_t> streamStarts{0};
    // The picture size of an older-generation stream, width << 16 | height,
    // and a count of the times the picture buffers must be set up afresh.
    std::atomic<std::uint32_t> pictureSize{0};
    std::atomic<std::uint32_t> pictureSetUps{0};
    std::atomic<bool> rotated{false};

    void setPictureSize(int width, int height) {
        pictureSize = static_cast<std::uint32_t>(width) << 16 | static_cast<std::uint32_t>(height);
        ++pictureSetUps;
    }

    // Sleeps that a close cuts short: false when the session is closing.
    bool sleepFor(std::chrono::milliseconds duration) {
        std::unique_lock lock(sleepMutex_);
        return !wake_.wait_for(lock, duration, [this] { return closing.load(); });
    }
    void wakeSleepers() {
        { std::lock_guard lock(sleepMutex_); }
        wake_.notify_all();
    }

private:
    std::mutex sleepMutex_;
    std::condition_variable wake_;
};

}  // namespace ambro::live
