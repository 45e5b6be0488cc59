#pragma once

#include <chrono>
#include <functional>

namespace ambro::app {

// Makes sure a network is there before a session starts: a probe that tells
// whether an interface is up, asked again every 2 s for up to 6 rounds, in at
// most 2 attempts.
class NetworkBringUp {
public:
    using Probe = std::function<bool()>;
    using Wait = std::function<void(std::chrono::milliseconds)>;

    static constexpr int kAttempts = 2;
    static constexpr int kRoundsPerAttempt = 6;
    static constexpr std::chrono::milliseconds kRoundWait{2000};

    NetworkBringUp(Probe probe, Wait wait);
    // The probe of the running system and a plain sleep.
    static NetworkBringUp forThisMachine();

    bool bringUp() const;

private:
    bool attempt() const;

    Probe probe_;
    Wait wait_;
};

}  // namespace ambro::app
