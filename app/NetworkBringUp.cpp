#include "app/NetworkBringUp.h"

#include <thread>

#include "platform/NetworkStatus.h"

namespace ambro::app {

NetworkBringUp::NetworkBringUp(Probe probe, Wait wait)
    : probe_(std::move(probe)), wait_(std::move(wait)) {}

NetworkBringUp NetworkBringUp::forThisMachine() {
    return NetworkBringUp(platform::anyNetworkInterfaceUp,
                          [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); });
}

bool NetworkBringUp::bringUp() const {
    for (int i = 0; i < kAttempts; ++i) {
        if (attempt()) return true;
    }
    return false;
}

bool NetworkBringUp::attempt() const {
    if (probe_()) return true;
    for (int round = 0; round < kRoundsPerAttempt; ++round) {
        wait_(kRoundWait);
        if (probe_()) return true;
    }
    return false;
}

}  // namespace ambro::app
