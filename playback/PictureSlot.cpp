#include "playback/PictureSlot.h"

#include <utility>

namespace ambro::playback {

void PictureSlot::publish(Picture& picture) {
    std::lock_guard lock(mutex_);
    std::swap(ready_, picture);
    fresh_ = true;
}

bool PictureSlot::take(Picture& picture) {
    std::lock_guard lock(mutex_);
    if (!fresh_) return false;
    std::swap(ready_, picture);
    fresh_ = false;
    return true;
}

void PictureSlot::clear() {
    std::lock_guard lock(mutex_);
    fresh_ = false;
}

}  // namespace ambro::playback
