#pragma once

#include <atomic>
#include <mutex>

#include "live/CommandBlock.h"

namespace ambro::live {

// The one way commands reach an older-generation server: the window (or the
// session's command worker) posts a block, the session thread takes it on its
// next pass, sends it, applies the reply and marks it done. "ClientMutex"
// guards the posted block; it is never held across the network.
class CommandMailbox {
public:
    enum class Take { Nothing, Taken, Busy };

    // Hands `draft` over and waits (about 0.6 s at most each) for the
    // mailbox to be free and then for the session thread to take the block.
    // A block still pending after the first wait is replaced by the new one,
    // under the lock. False when the lock could not be had at all.
    [[nodiscard]] bool post(const CommandBlock& draft, const std::atomic<bool>& running);

    // Session thread: the posted block when one is pending. Busy when
    // "ClientMutex" was not free within 15 ms: the pass skips the mailbox.
    Take take(CommandBlock& sent);
    // Session thread: the taken block has been served (its reply applied)
    // or has failed; the outcome is kept for the poster before the block
    // stops pending.
    void finish(bool served);

    bool pending() const { return pending_.load(); }
    // Whether the block finished last was served: a poster that waited for
    // its block learns here how it ended, not from whether the session
    // happened to be still running when it looked.
    bool lastServed() const { return lastServed_.load(); }
    // Nothing pending any more (the session ends).
    void clear();

private:
    std::timed_mutex clientMutex_;  // "ClientMutex"
    CommandBlock posted_;
    std::atomic<bool> pending_{false};
    std::atomic<bool> lastServed_{false};
};

}  // namespace ambro::live
