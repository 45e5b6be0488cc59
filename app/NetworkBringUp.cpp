#include "app/NetworkBringUp.h"

#include <thread>

#include "platform/NetworkStatus.h"

namespace ambro::app {

NetworkBringUp::NetworkBringUp(Probe probe, Wait wait)
    : probe_(std::move(probe)), wait_(std::move(wait)) {}

NetworkBringUp NetworkBringUp::forThisMachine() {
    NetworkBringUp network(platform::anyNetworkInterfaceUp, nullptr);
    network.wait_ = [cancelled = network.cancelled_](std::chrono::milliseconds time) {
        constexpr std::chrono::milliseconds kSlice{50};
        for (auto waited = kSlice; waited <= time && !cancelled->load(); waited += kSlice) {
            std::this_thread::sleep_for(kSlice);
        }
    };
    return network;
}

bool NetworkBringUp::bringUp() const {
    cancelled_->store(false);
    for (int i = 0; i < kAttempts && !cancelled_->load(); ++i) {
        if (attempt()) return true;
    }
    return false;
}

bool NetworkBringUp::attempt() const {
    if (probe_()) return true;
    for (int round = 0; round < kRoundsPerAttempt && !cancelled_->load(); ++round) {
        wait_(kRoundWait);
        if (probe_()) return true;
    }
    return false;
}

}  // namespace ambro::app
