#include "playback/PicturePath.h"

#include <algorithm>
#include <cstring>

#include "media/FrameDecoder.h"

namespace ambro::playback {

PicturePath::PicturePath(PlaybackObserver& observer, std::filesystem::path snapshotFolder,
                         SnapshotClock clock)
    : observer_(observer), snapshots_(std::move(snapshotFolder)), clock_(std::move(clock)) {
    if (!clock_) clock_ = [] { return platform::DateTime::localNow(); };
    thread_ = std::thread([this] { run(); });
}

PicturePath::~PicturePath() { stop(); }

void PicturePath::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void PicturePath::pictureSizeAnnounced(std::uint32_t width, std::uint32_t height) {
    enqueue(Kind::Size, {}, width, height);
}

void PicturePath::frameArrived(std::span<const std::uint8_t> payload) {
    enqueue(Kind::Frame, payload, 0, 0);
}

void PicturePath::frameRefused() { enqueue(Kind::Refused, {}, 0, 0); }

// Waits for room while the queue is full: the picture thread frees a place
// at every frame's time, and a stop ends the wait.
void PicturePath::enqueue(Kind kind, std::span<const std::uint8_t> payload, std::uint32_t width,
                          std::uint32_t height) {
    std::unique_lock lock(mutex_);
    const auto wanted = [&] { return kind == Kind::Size || accepting_; };
    if (!wanted()) return;
    changed_.wait(lock, [&] { return stopping_ || count_ < kQueueCapacity; });
    if (stopping_ || !wanted()) return;
    Item& item = queue_[(head_ + count_) % kQueueCapacity];
    item.kind = kind;
    item.width = width;
    item.height = height;
    item.length = payload.size();
    item.bytes.resize(payload.size() + media::FrameDecoder::kInputPadding);
    if (!payload.empty()) std::memcpy(item.bytes.data(), payload.data(), payload.size());
    item.arrival = Clock::now();
    ++count_;
    lock.unlock();
    changed_.notify_all();
}

// Keeps the size announcements, in order; they still apply to what follows.
void PicturePath::dropFramesLocked() {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i) {
        Item& item = queue_[(head_ + i) % kQueueCapacity];
        if (item.kind == Kind::Size) std::swap(queue_[(head_ + kept++) % kQueueCapacity], item);
    }
    count_ = kept;
    ++generation_;
    anchored_ = false;
}

void PicturePath::restart(int index) {
    {
        std::lock_guard lock(mutex_);
        dropFramesLocked();
        shown_ = index;
        accepting_ = true;
    }
    changed_.notify_all();
}

void PicturePath::halt() {
    {
        std::lock_guard lock(mutex_);
        dropFramesLocked();
        accepting_ = false;
    }
    changed_.notify_all();
}

void PicturePath::resetClock() {
    std::lock_guard lock(mutex_);
    anchored_ = false;
}

void PicturePath::setFrameInterval(std::chrono::microseconds interval) {
    intervalMicroseconds_ = std::clamp(interval, std::chrono::microseconds{0}, kLongestInterval).count();
}

PicturePath::Statistics PicturePath::statistics() const {
    std::lock_guard lock(mutex_);
    return statistics_;
}

void PicturePath::run() {
    Item item;
    std::uint64_t generation = 0;
    while (next(item, generation)) {
        if (item.kind == Kind::Size) {
            decoder_.announce(item.width, item.height);
            continue;
        }
        if (!waitForTurn(item, generation)) continue;
        const bool decoded =
            item.kind == Kind::Frame && decoder_.decode(item.bytes.data(), item.length, picture_);
        if (decoded && current(generation)) {
            observer_.pictureDecoded(picture_.pixels.data(), picture_.width, picture_.height,
                                     shown_.load());
        }
        // A picture of a position left behind (a seek, a stop) is neither
        // shown nor saved.
        if (decoded && current(generation)) {
            if (snapshotRequested_.exchange(false)) saveSnapshot();
            slot_.publish(picture_);
        }
        int shown = 0;
        if (countShown(generation, decoded, shown)) observer_.pictureShown(shown);
    }
}

bool PicturePath::next(Item& item, std::uint64_t& generation) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || count_ > 0; });
    if (stopping_) return false;
    std::swap(item, queue_[head_]);
    head_ = (head_ + 1) % kQueueCapacity;
    --count_;
    generation = generation_;
    lock.unlock();
    changed_.notify_all();
    return true;
}

// Frame k after the clock started at frame k0 is due k - k0 intervals after
// it. A frame already more than an interval overdue starts the clock afresh,
// so a stall is not followed by a hurried catch-up.
bool PicturePath::waitForTurn(const Item& item, std::uint64_t generation) {
    std::unique_lock lock(mutex_);
    if (stopping_ || generation != generation_) return false;
    const std::chrono::microseconds interval{intervalMicroseconds_.load()};
    const int index = shown_.load();
    const auto now = Clock::now();
    if (!anchored_ || interval.count() == 0) {
        anchored_ = true;
        anchorTime_ = now;
        anchorIndex_ = index;
        return true;
    }
    const auto due = anchorTime_ + interval * (index - anchorIndex_);
    if (item.arrival > due) ++statistics_.lateFrames;
    if (now > due + interval) {
        anchorTime_ = now;
        anchorIndex_ = index;
        return true;
    }
    changed_.wait_until(lock, due, [&] { return stopping_ || generation != generation_; });
    return !stopping_ && generation == generation_;
}

bool PicturePath::current(std::uint64_t generation) {
    std::lock_guard lock(mutex_);
    return generation == generation_;
}

bool PicturePath::countShown(std::uint64_t generation, bool decoded, int& shown) {
    std::lock_guard lock(mutex_);
    if (generation != generation_) return false;
    if (decoded) ++statistics_.pictures;
    shown = ++shown_;
    return true;
}

void PicturePath::saveSnapshot() {
    std::string error;
    if (const auto path = snapshots_.write(picture_.pixels.data(),
                                           static_cast<std::size_t>(picture_.width) * 3,
                                           picture_.width, picture_.height,
                                           snapshotStem(clock_()), error)) {
        observer_.snapshotSaved(*path);
    } else {
        observer_.snapshotFailed(error);
    }
}

}  // namespace ambro::playback
