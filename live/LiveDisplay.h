#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <vector>

#include "live/LiveShared.h"
#include "media/PictureDecoder.h"
#include "media/SnapshotWriter.h"

namespace ambro::live {

// The picture side of a live session, run by the display tick on one
// thread (the window's, every 33 ms): pictures of an older-generation server
// are paced by their time stamps, decoded from the frame ring and shown;
// those of a current-generation server, decoded by its video reader, are
// taken from the latest-picture slot. A requested snapshot is encoded and
// written; the picture is handed to the observer under "PaintMutex".
class LiveDisplay {
public:
    // "PaintMutex" is tried this long by the tick; the frame is not drawn
    // when it is busy.
    static constexpr std::chrono::milliseconds kPaintTry{3};

    LiveDisplay(LiveShared& shared, std::filesystem::path snapshotFolder);

    // Reader thread (current generation): keeps a copy of the picture for
    // the next tick.
    void offerPicture(const PictureView& picture);

    // One tick: true when a picture was handed over. Unpaced, every waiting
    // frame is decoded at once (for tools that keep every picture).
    [[nodiscard]] bool tick(Generation generation, bool paced);

    void requestSnapshot() { snapshotRequested_ = true; }

    // "PaintMutex" (re-entrant): the window holds it while it draws.
    std::unique_lock<std::recursive_timed_mutex> lockPaint(std::chrono::milliseconds wait);
    // The picture last shown; read it only while holding the paint lock.
    PictureView picture() const;

private:
    bool tickOlderGeneration(bool paced);
    bool tickCurrentGeneration();
    bool setUpForStream();
    bool due(const platform::DateTime& time);
    // Snapshot, then the copy into the shown picture and the observer.
    bool show(const std::uint8_t* pixels, int width, int height);
    void saveSnapshot(const std::uint8_t* pixels, int width, int height);

    LiveShared& shared_;
    media::SnapshotWriter snapshots_;
    std::recursive_timed_mutex paintMutex_;  // "PaintMutex"

    // The shown picture, guarded by "PaintMutex".
    std::vector<std::uint8_t> shown_;
    int shownWidth_ = 0;
    int shownHeight_ = 0;

    // Older generation: the decoder of the stream's size and its output.
    std::unique_ptr<media::PictureDecoder> decoder_;
    std::vector<std::uint8_t> work_;
    std::uint32_t setUpsSeen_ = 0;
    // Pacing, restarted with every stream.
    std::uint32_t streamSeen_ = 0;
    bool firstShown_ = false;
    std::uint32_t firstTick_ = 0;
    std::int64_t firstTime_ = 0;

    // Current generation: the latest picture of the video reader.
    std::mutex latestMutex_;
    std::vector<std::uint8_t> latest_;
    int latestWidth_ = 0;
    int latestHeight_ = 0;
    std::uint64_t latestCount_ = 0;
    std::uint64_t takenCount_ = 0;

    std::atomic<bool> snapshotRequested_{false};
};

}  // namespace ambro::live
