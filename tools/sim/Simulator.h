#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/CurrentLiveServer.h"
#include "tools/sim/Installation.h"
#include "tools/sim/OlderControlServer.h"
#include "tools/sim/OlderLiveServer.h"
#include "tools/sim/PlaybackServer.h"
#include "tools/sim/ServerPort.h"
#include "tools/sim/SimLog.h"
#include "tools/sim/SimOptions.h"

namespace ambro::sim {

// The ports the servers listen on; none for a server that is off.
struct SimPorts {
    std::optional<std::uint16_t> liveCurrent;
    std::optional<std::uint16_t> liveOlder;
    std::optional<std::uint16_t> olderCommand;  // the control connection's two ports
    std::optional<std::uint16_t> olderData;
    std::optional<std::uint16_t> playback;
};

// A simulated installation: the three servers over one set of cameras,
// domes, I/O modules and recordings. Usable in-process (tests) or through
// the ambro-sim program.
class Simulator {
public:
    Simulator(const SimOptions& options, SimLog& log);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens every port, then starts serving; false, with `error` set, when a
    // port cannot be opened (nothing then runs).
    bool start(std::string& error);
    // Closes every connection and joins every thread.
    void stop();

    const SimPorts& ports() const { return ports_; }
    Installation& installation() { return installation_; }

    // "ambro-sim: live-current 127.0.0.1:17860, ..." for the user.
    std::string startupLine() const;
    // {"bind": "127.0.0.1", "live_current": 17860, ...} for scripts.
    std::string portsJson() const;

private:
    std::unique_ptr<ServerPort> openPort(int port, ServerPort::Handler handler, std::string& error);

    SimOptions options_;
    Installation installation_;
    CurrentLiveServer current_;
    OlderLiveServer older_;
    OlderControlServer control_;
    PlaybackServer playback_;
    std::vector<std::unique_ptr<ServerPort>> servers_;
    SimPorts ports_;
};

}  // namespace ambro::sim
