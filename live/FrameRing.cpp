#include "live/FrameRing.h"

namespace ambro::live {

FrameRing::FrameRing() : slots_(std::make_unique<std::array<Slot, kSlots>>()) {}

void FrameRing::reset() {
    std::lock_guard lock(readerMutex_);
    write_ = 0;
    read_ = 0;
}

bool FrameRing::frontTime(platform::DateTime& time) {
    std::lock_guard lock(readerMutex_);
    const std::uint32_t read = read_.load();
    if (read == write_.load(std::memory_order_acquire)) return false;
    time = (*slots_)[read % kSlots].time;
    return true;
}

}  // namespace ambro::live
