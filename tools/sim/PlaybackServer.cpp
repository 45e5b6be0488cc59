#include "tools/sim/PlaybackServer.h"

#include "tools/sim/PlaybackSession.h"

namespace ambro::sim {

PlaybackServer::PlaybackServer(Installation& installation) : installation_(installation) {}

void PlaybackServer::serve(ClientLink& link) {
    if (installation_.faults().has(FaultKind::Silence)) {
        return link.drainUntilClosed(std::chrono::minutes(10));
    }
    PlaybackSession(installation_, link).run();
}

}  // namespace ambro::sim
