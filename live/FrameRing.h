#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "media/FrameDecoder.h"
#include "platform/DateTime.h"

namespace ambro::live {

// The pictures an older-generation server streams, between the session
// thread that receives them (the one writer) and the display tick that
// decodes them (the one reader). Each side advances only its own counter;
// the counters count frames since the stream started and wrap.
class FrameRing {
public:
    static constexpr std::uint32_t kSlots = 32;
    static constexpr std::size_t kSlotSize = 16384;

    struct Slot {
        // Room for the decoder's read-ahead past the largest frame.
        std::array<std::uint8_t, kSlotSize + media::FrameDecoder::kInputPadding> data{};
        std::uint32_t length = 0;
        platform::DateTime time;
    };

    FrameRing();

    // Writer.
    bool full() const { return write_.load() - read_.load() >= kSlots; }
    Slot& writeSlot() { return (*slots_)[write_.load() % kSlots]; }
    void publish() { write_.fetch_add(1, std::memory_order_release); }
    // Empties the ring for a new stream; waits for a frame being decoded.
    void reset();

    // Reader: hands the oldest frame to `use` and frees its slot; false when
    // the ring is empty. The slot's bytes may be changed by `use`.
    template <typename Use>
    bool consumeFront(Use use) {
        std::lock_guard lock(readerMutex_);
        const std::uint32_t read = read_.load();
        if (read == write_.load(std::memory_order_acquire)) return false;
        use((*slots_)[read % kSlots]);
        read_.store(read + 1);
        return true;
    }
    // The oldest frame's time, without taking it; false when empty.
    bool frontTime(platform::DateTime& time);

    bool empty() const { return read_.load() == write_.load(); }
    std::uint32_t written() const { return write_.load(); }

    // Set while a stream is running.
    std::atomic<bool> streaming{false};

private:
    std::unique_ptr<std::array<Slot, kSlots>> slots_;
    std::atomic<std::uint32_t> write_{0};
    std::atomic<std::uint32_t> read_{0};
    std::mutex readerMutex_;
};

}  // namespace ambro::live
