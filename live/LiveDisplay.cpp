#include "live/LiveDisplay.h"

#include <cstring>
#include <new>
#include <thread>

#include "live/SnapshotName.h"

namespace ambro::live {

namespace {

constexpr std::uint32_t kFrameInterval = 33;
constexpr std::uint32_t kSlowFrameInterval = 66;  // pictures 320 wide
constexpr std::int64_t kStepsPerMillisecond = 10000;

}  // namespace

LiveDisplay::LiveDisplay(LiveShared& shared, std::filesystem::path snapshotFolder)
    : shared_(shared), snapshots_(std::move(snapshotFolder)) {}

void LiveDisplay::offerPicture(const PictureView& picture) {
    std::lock_guard lock(latestMutex_);
    const std::size_t row = static_cast<std::size_t>(picture.width) * 3;
    latest_.resize(row * static_cast<std::size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        std::memcpy(latest_.data() + y * row, picture.pixels + y * picture.stride, row);
    }
    latestWidth_ = picture.width;
    latestHeight_ = picture.height;
    ++latestCount_;
}

bool LiveDisplay::tick(Generation generation, bool paced) {
    if (generation == Generation::Current) return tickCurrentGeneration();
    if (generation != Generation::Older) return false;
    bool shown = false;
    while (tickOlderGeneration(paced)) {
        shown = true;
        if (paced) break;
    }
    return shown;
}

bool LiveDisplay::tickCurrentGeneration() {
    std::lock_guard lock(latestMutex_);
    if (latestCount_ == takenCount_) return false;
    takenCount_ = latestCount_;
    return show(latest_.data(), latestWidth_, latestHeight_);
}

bool LiveDisplay::tickOlderGeneration(bool paced) {
    FrameRing& ring = shared_.ring;
    if (!ring.streaming || ring.empty() || !setUpForStream()) return false;
    if (shared_.tables.selection().audioWord != 0 && !shared_.audioArrived) return false;
    platform::DateTime time;
    if (!ring.frontTime(time) || (paced && !due(time))) return false;

    int result = media::kPayloadRejected;
    ring.consumeFront([&](FrameRing::Slot& slot) {
        result = decoder_->decode(slot.data.data(), slot.length, work_.data());
    });
    if (result != media::kDecoderDone) return false;
    const auto stamp = time.toFileTime();
    const PictureView decoded{work_.data(), decoder_->width(), decoder_->height(),
                              decoder_->stride(),
                              stamp ? *stamp / kStepsPerMillisecond : arrivalTimeMs()};
    shared_.observer.pictureDecoded(decoded);
    return show(decoded.pixels, decoded.width, decoded.height);
}

// The decoder and buffers of the stream's picture size, made again when the
// session asks for it (a new size, a new camera).
bool LiveDisplay::setUpForStream() {
    const std::uint32_t setUps = shared_.pictureSetUps;
    if (decoder_ && setUps == setUpsSeen_) return true;
    const std::uint32_t size = shared_.pictureSize;
    const int width = static_cast<int>(size >> 16);
    const int height = static_cast<int>(size & 0xFFFF);
    if (width == 0 || height == 0) return false;
    try {
        decoder_ = std::make_unique<media::PictureDecoder>(width, height);
        work_.assign(decoder_->pictureBytes(), 0);
    } catch (const std::bad_alloc&) {
        decoder_.reset();
        shared_.observer.connectFailed(LiveFailure::MemoryAllocationFailed,
                                       "no memory for pictures of " + std::to_string(width) +
                                           " x " + std::to_string(height));
        return false;
    }
    setUpsSeen_ = setUps;
    shared_.observer.pictureSizeChanged(width, height);
    return true;
}

// Pacing: a frame is shown once the wall clock since the stream's first
// shown frame has caught up with the frame's own time since then.
bool LiveDisplay::due(const platform::DateTime& time) {
    const std::uint32_t now = platform::tickCount();
    const std::int64_t stamp = time.toFileTime().value_or(0);
    if (const std::uint32_t streams = shared_.streamStarts; streams != streamSeen_) {
        streamSeen_ = streams;
        firstShown_ = false;
    }
    if (!firstShown_) {
        firstShown_ = true;
        firstTick_ = now;
        firstTime_ = stamp;
        return true;
    }
    const std::int64_t streamTime = (stamp - firstTime_) / kStepsPerMillisecond;
    const std::int64_t wallTime = platform::ticksBetween(firstTick_, now);
    const std::uint32_t interval =
        decoder_ && decoder_->width() == 320 ? kSlowFrameInterval : kFrameInterval;
    return wallTime + interval >= streamTime;
}

bool LiveDisplay::show(const std::uint8_t* pixels, int width, int height) {
    if (snapshotRequested_.exchange(false)) saveSnapshot(pixels, width, height);
    const auto paint = lockPaint(kPaintTry);
    if (!paint) return false;
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 3;
    shown_.resize(bytes);
    std::memcpy(shown_.data(), pixels, bytes);
    shownWidth_ = width;
    shownHeight_ = height;
    shared_.observer.pictureReady(picture());
    return true;
}

void LiveDisplay::saveSnapshot(const std::uint8_t* pixels, int width, int height) {
    std::string error;
    const auto file = snapshots_.write(pixels, static_cast<std::size_t>(width) * 3, width, height,
                                       snapshotStem(platform::DateTime::localNow()), error);
    if (file) {
        shared_.observer.snapshotSaved(*file);
    } else {
        shared_.observer.snapshotFailed(error);
    }
}

std::unique_lock<std::recursive_timed_mutex> LiveDisplay::lockPaint(
    std::chrono::milliseconds wait) {
    std::unique_lock lock(paintMutex_, std::defer_lock);
    const auto end = std::chrono::steady_clock::now() + wait;
    // Polled, like every lock with a time-out here, so the thread sanitizer
    // can follow it.
    while (!lock.try_lock()) {
        if (std::chrono::steady_clock::now() >= end) return {};
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return lock;
}

PictureView LiveDisplay::picture() const {
    return {shown_.data(), shownWidth_, shownHeight_, static_cast<std::size_t>(shownWidth_) * 3};
}

}  // namespace ambro::live
