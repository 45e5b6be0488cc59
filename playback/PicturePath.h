#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "playback/FrameSink.h"
#include "playback/PictureDecoder.h"
#include "playback/PictureSlot.h"
#include "playback/PlaybackObserver.h"
#include "media/SnapshotWriter.h"
#include "playback/SnapshotName.h"

namespace ambro::playback {

// The picture thread of a playback session. The receiver hands it frames in
// wire order; it shows each at its recorded time (the file's frame interval
// from the moment playback (re)started), decodes it, writes a pending
// snapshot, publishes the picture to the slot and counts it.
//
// Frames wait in a short queue, so the receiver goes on reading replies
// while pictures wait for their time. A restart (play, seek) drops the
// frames still queued, which belong to the position left behind.
class PicturePath : public FrameSink {
public:
    using Clock = std::chrono::steady_clock;
    // Frames that can wait; the pacing keeps at most 13 outstanding.
    static constexpr std::size_t kQueueCapacity = 32;
    // A recording slower than this is shown at this pace.
    static constexpr std::chrono::microseconds kLongestInterval{1000000};

    struct Statistics {
        int pictures = 0;     // frames decoded into a picture
        int lateFrames = 0;   // frames that arrived after their time to be shown
    };

    PicturePath(PlaybackObserver& observer, std::filesystem::path snapshotFolder,
                SnapshotClock clock);
    ~PicturePath() override;

    PicturePath(const PicturePath&) = delete;
    PicturePath& operator=(const PicturePath&) = delete;

    // FrameSink, called by the receiver thread. Frames are dropped while the
    // path is halted.
    void pictureSizeAnnounced(std::uint32_t width, std::uint32_t height) override;
    void frameArrived(std::span<const std::uint8_t> payload) override;
    void frameRefused() override;

    // Drops queued frames, counts from `index` on, starts the clock afresh
    // and takes frames again.
    void restart(int index);
    // Drops queued frames and takes no more until the next restart.
    void halt();
    // Starts the clock afresh at the next frame (after a pause).
    void resetClock();
    // The recorded time between frames; 0 shows frames as they come.
    void setFrameInterval(std::chrono::microseconds interval);
    void requestSnapshot() { snapshotRequested_ = true; }
    void cancelSnapshot() { snapshotRequested_ = false; }

    int shownFrames() const { return shown_.load(); }
    PictureSlot& slot() { return slot_; }
    Statistics statistics() const;

    // Ends the picture thread and joins it; frames are dropped afterwards.
    void stop();

private:
    enum class Kind { Frame, Refused, Size };
    struct Item {
        Kind kind = Kind::Frame;
        std::vector<std::uint8_t> bytes;
        std::size_t length = 0;
        std::uint32_t width = 0;
        std::uint32_t height = 0;
        Clock::time_point arrival;
    };

    void enqueue(Kind kind, std::span<const std::uint8_t> payload, std::uint32_t width,
                 std::uint32_t height);
    void dropFramesLocked();
    void run();
    bool next(Item& item, std::uint64_t& generation);
    bool waitForTurn(const Item& item, std::uint64_t generation);
    bool current(std::uint64_t generation);
    bool countShown(std::uint64_t generation, bool decoded, int& shown);
    void saveSnapshot();

    PlaybackObserver& observer_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::array<Item, kQueueCapacity> queue_;
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    bool stopping_ = false;
    bool accepting_ = false;
    std::uint64_t generation_ = 0;
    bool anchored_ = false;
    Clock::time_point anchorTime_;
    int anchorIndex_ = 0;
    Statistics statistics_;

    std::atomic<std::int64_t> intervalMicroseconds_{0};
    std::atomic<int> shown_{0};
    std::atomic<bool> snapshotRequested_{false};

    // The picture thread's own.
    PictureDecoder decoder_;
    media::SnapshotWriter snapshots_;
    SnapshotClock clock_;
    PictureSlot::Picture picture_;

    PictureSlot slot_;
    std::thread thread_;
};

}  // namespace ambro::playback
