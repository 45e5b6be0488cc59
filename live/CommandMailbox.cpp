#include "live/CommandMailbox.h"

#include <chrono>
#include <thread>

#include "platform/TimedLock.h"

namespace ambro::live {

namespace {

using namespace std::chrono_literals;

constexpr int kTries = 600;
constexpr auto kTry = 1ms;
constexpr auto kSessionLockWait = 15ms;
constexpr auto kLastChanceWait = 15ms;
const std::atomic<bool> kNeverAbandon{false};

bool tryLock(std::timed_mutex& mutex, std::chrono::milliseconds wait) {
    return platform::lockWithTries(mutex, 1, wait, kNeverAbandon);
}

}  // namespace

bool CommandMailbox::post(const CommandBlock& draft, const std::atomic<bool>& running) {
    bool placed = false;
    for (int i = 0; i < kTries && !placed; ++i) {
        if (tryLock(clientMutex_, kTry)) {
            if (!pending_) {
                posted_ = draft;
                pending_ = true;
                placed = true;
            }
            clientMutex_.unlock();
        }
        if (!placed) std::this_thread::sleep_for(kTry);
    }
    if (!placed) {
        // The session thread has not taken the last block for 0.6 s: the
        // newer command replaces it, but never without the lock.
        if (!tryLock(clientMutex_, kLastChanceWait)) return false;
        posted_ = draft;
        pending_ = true;
        clientMutex_.unlock();
    }
    for (int i = 0; i < kTries && pending_ && running; ++i) std::this_thread::sleep_for(kTry);
    return true;
}

CommandMailbox::Take CommandMailbox::take(CommandBlock& sent) {
    if (!tryLock(clientMutex_, kSessionLockWait)) return Take::Busy;
    const bool pending = pending_;
    if (pending) sent = posted_;
    clientMutex_.unlock();
    return pending ? Take::Taken : Take::Nothing;
}

void CommandMailbox::finish(bool served) {
    lastServed_ = served;
    pending_ = false;
}

void CommandMailbox::clear() {
    lastServed_ = false;
    pending_ = false;
}

}  // namespace ambro::live
