#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace ambro::platform {

// Takes `mutex` within `tries` attempts of `each` duration, giving up early
// when `abandon` is set. Each attempt polls try_lock at 1 ms steps: the same
// bound as a timed wait, in a form the thread sanitizer can follow.
template <typename Mutex>
bool lockWithTries(Mutex& mutex, int tries, std::chrono::milliseconds each,
                   const std::atomic<bool>& abandon) {
    constexpr std::chrono::milliseconds kStep{1};
    const long stepsPerTry = std::max<long>(1, each / kStep);
    for (long step = 0; step < tries * stepsPerTry && !abandon.load(); ++step) {
        if (mutex.try_lock()) return true;
        std::this_thread::sleep_for(kStep);
    }
    return false;
}

}  // namespace ambro::platform
