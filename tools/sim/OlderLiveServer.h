#pragma once

#include <atomic>
#include <cstdint>

#include "tools/sim/ClientLink.h"
#include "tools/sim/Installation.h"

namespace ambro::sim {

// The older-generation live server's first port: its greeting names the two
// ports of the control connection (words 2 and 3), and the same connection
// then carries the request/reply protocol of OlderSession.
class OlderLiveServer {
public:
    static constexpr std::uint32_t kGreeting = 0x11223344;
    static constexpr std::uint32_t kRefusingGreeting = 0x44332211;
    static constexpr std::uint32_t kBadGreeting = 0x11223345;

    explicit OlderLiveServer(Installation& installation);

    // The control ports, known once they listen.
    void setControlPorts(std::uint16_t commandPort, std::uint16_t dataPort);
    void serve(ClientLink& link);

private:
    Installation& installation_;
    std::atomic<std::uint16_t> commandPort_{0};
    std::atomic<std::uint16_t> dataPort_{0};
};

}  // namespace ambro::sim
