#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ambro::test {

// The base of a test's observer: what a session reports from its threads is
// recorded under one lock, and the test waits (bounded) for a condition over
// the record or reads it under the same lock.
class ObservedEvents {
public:
    template <typename Condition>
    bool waitFor(Condition condition,
                 std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        std::unique_lock lock(mutex);
        return changed_.wait_for(lock, timeout, condition);
    }
    template <typename Read>
    auto read(Read reader) {
        std::lock_guard lock(mutex);
        return reader();
    }

    std::mutex mutex;

protected:
    // Records a change and wakes every waiter.
    template <typename Change>
    void update(Change change) {
        {
            std::lock_guard lock(mutex);
            change();
        }
        changed_.notify_all();
    }

private:
    std::condition_variable changed_;
};

}  // namespace ambro::test
