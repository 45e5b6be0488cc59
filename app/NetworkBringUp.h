#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace ambro::app {

// Makes sure a network is there before a session starts: a probe that tells
// whether an interface is up, asked again every 2 s for up to 6 rounds, in at
// most 2 attempts. bringUp blocks its caller, so the launcher runs it on a
// thread of its own; cancel, from any thread, ends it at the next round.
class NetworkBringUp {
public:
    using Probe = std::function<bool()>;
    using Wait = std::function<void(std::chrono::milliseconds)>;

    static constexpr int kAttempts = 2;
    static constexpr int kRoundsPerAttempt = 6;
    static constexpr std::chrono::milliseconds kRoundWait{2000};

    NetworkBringUp(Probe probe, Wait wait);
    // The probe of the running system and a sleep that a cancel cuts short.
    static NetworkBringUp forThisMachine();

    bool bringUp() const;
    void cancel() const { cancelled_->store(true); }

private:
    bool attempt() const;

    Probe probe_;
    Wait wait_;
    std::shared_ptr<std::atomic<bool>> cancelled_ = std::make_shared<std::atomic<bool>>(false);
};

}  // namespace ambro::app
