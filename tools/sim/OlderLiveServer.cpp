#include "tools/sim/OlderLiveServer.h"

#include "tools/sim/OlderSession.h"
#include "tools/sim/WireBytes.h"

namespace ambro::sim {

namespace {
constexpr std::chrono::minutes kDrainLimit{10};
}

OlderLiveServer::OlderLiveServer(Installation& installation) : installation_(installation) {}

void OlderLiveServer::setControlPorts(std::uint16_t commandPort, std::uint16_t dataPort) {
    commandPort_ = commandPort;
    dataPort_ = dataPort;
}

void OlderLiveServer::serve(ClientLink& link) {
    const FaultPlan& faults = installation_.faults();
    if (faults.has(FaultKind::Silence)) return link.drainUntilClosed(kDrainLimit);
    WireBytes greeting(16);
    greeting.put32(0, faults.has(FaultKind::TooManyUsers) ? kRefusingGreeting
                      : faults.has(FaultKind::BadMagic)   ? kBadGreeting
                                                          : kGreeting);
    greeting.put32(8, commandPort_.load());
    greeting.put32(12, dataPort_.load());
    if (!link.sendAll(greeting)) return;
    if (faults.has(FaultKind::TooManyUsers) || faults.has(FaultKind::BadMagic)) {
        return link.drainUntilClosed(kDrainLimit);
    }
    OlderSession(installation_, link).run();
}

}  // namespace ambro::sim
