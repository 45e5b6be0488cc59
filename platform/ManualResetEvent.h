#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ambro::platform {

// An event that stays signalled once set, until reset; waiters always give a
// time-out so that no wait is unbounded.
class ManualResetEvent {
public:
    void set();
    void reset();
    bool isSet() const;
    // True when the event was signalled within the time-out.
    bool waitFor(std::chrono::milliseconds timeout) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool signalled_ = false;
};

}  // namespace ambro::platform
