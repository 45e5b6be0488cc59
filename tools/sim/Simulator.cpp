#include "tools/sim/Simulator.h"

namespace ambro::sim {

Simulator::Simulator(const SimOptions& options, SimLog& log)
    : options_(options), installation_(options, log), current_(installation_),
      older_(installation_), control_(installation_), playback_(installation_) {}

Simulator::~Simulator() {
    stop();
}

std::unique_ptr<ServerPort> Simulator::openPort(int port, ServerPort::Handler handler,
                                                std::string& error) {
    auto listener = Listener::open(options_.bindAddress, port, error);
    if (!listener) return nullptr;
    const bool trickle = installation_.faults().has(FaultKind::SlowLink);
    return std::make_unique<ServerPort>(std::move(*listener), std::move(handler), trickle);
}

bool Simulator::start(std::string& error) {
    std::vector<std::unique_ptr<ServerPort>> opened;
    const auto open = [&](int port, ServerPort::Handler handler) -> std::optional<std::uint16_t> {
        auto server = openPort(port, std::move(handler), error);
        if (!server) return std::nullopt;
        opened.push_back(std::move(server));
        return opened.back()->port();
    };
    SimPorts ports;
    if (options_.liveCurrentPort) {
        ports.liveCurrent = open(*options_.liveCurrentPort, [this](ClientLink& l) { current_.serve(l); });
        if (!ports.liveCurrent) return false;
    }
    if (options_.liveOlderPort) {
        ports.olderCommand = open(0, [this](ClientLink& l) { control_.serveCommandPort(l); });
        ports.olderData = open(0, [this](ClientLink& l) { control_.serveDataPort(l); });
        ports.liveOlder = open(*options_.liveOlderPort, [this](ClientLink& l) { older_.serve(l); });
        if (!ports.olderCommand || !ports.olderData || !ports.liveOlder) return false;
        older_.setControlPorts(*ports.olderCommand, *ports.olderData);
    }
    if (options_.playbackPort) {
        ports.playback = open(*options_.playbackPort, [this](ClientLink& l) { playback_.serve(l); });
        if (!ports.playback) return false;
    }
    ports_ = ports;
    servers_ = std::move(opened);
    for (auto& server : servers_) server->start();
    return true;
}

void Simulator::stop() {
    for (auto& server : servers_) server->stop();
    servers_.clear();
}

std::string Simulator::startupLine() const {
    const std::string& bind = options_.bindAddress;
    std::string line = "ambro-sim:";
    const auto add = [&](const char* name, const std::optional<std::uint16_t>& port) {
        line.append(" ").append(name).append(" ");
        if (port) {
            line.append(bind).append(":").append(std::to_string(*port));
        } else {
            line.append("off");
        }
        line.append(",");
    };
    add("live-current", ports_.liveCurrent);
    add("live-older", ports_.liveOlder);
    if (ports_.liveOlder) {
        line.pop_back();
        line.append(" (control ").append(std::to_string(*ports_.olderCommand)).append(" and ");
        line.append(std::to_string(*ports_.olderData)).append("),");
    }
    add("playback", ports_.playback);
    line.append(" ").append(std::to_string(installation_.cameras().count())).append(" cameras");
    for (const auto& name : FaultPlan::allNames()) {
        if (installation_.faults().has(*FaultPlan::kindOf(name))) line += ", fault " + name;
    }
    return line;
}

std::string Simulator::portsJson() const {
    std::string json = "{\"bind\": \"" + options_.bindAddress + "\"";
    const auto add = [&](const char* name, const std::optional<std::uint16_t>& port) {
        json += std::string(", \"") + name + "\": " + (port ? std::to_string(*port) : "null");
    };
    add("live_current", ports_.liveCurrent);
    add("live_older", ports_.liveOlder);
    add("older_control", ports_.olderCommand);
    add("older_data", ports_.olderData);
    add("playback", ports_.playback);
    return json + "}\n";
}

}  // namespace ambro::sim
