#pragma once

#include <cstdint>

#include "tools/sim/ClientLink.h"
#include "tools/sim/Installation.h"

namespace ambro::sim {

// The playback server: the recording database over one connection of
// 5-byte-prefixed messages with a 64-byte header (work path, log-in, camera,
// day, file, open, frame, seek, close). Each connection is a PlaybackSession.
class PlaybackServer {
public:
    explicit PlaybackServer(Installation& installation);

    void serve(ClientLink& link);

private:
    Installation& installation_;
};

}  // namespace ambro::sim
