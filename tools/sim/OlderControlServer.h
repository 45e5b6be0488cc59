#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "tools/sim/ClientLink.h"
#include "tools/sim/Installation.h"

namespace ambro::sim {

// The older generation's byte-coded control connection, on the two ports
// its greeting announces. On the command port: the server version, the
// client type, a session number, then (once the client has opened the data
// port with that number) "RDY"; after that log-in (7), camera commands (53,
// 54) and channel commands (100), each answered by a status byte and, when
// accepted, its answer bytes.
class OlderControlServer {
public:
    static constexpr std::uint32_t kVersion = 8300;

    explicit OlderControlServer(Installation& installation);

    void serveCommandPort(ClientLink& link);
    void serveDataPort(ClientLink& link);

    // The password as the log-in carries it: character i of n with code c
    // gives (c + n - i) mod 256 in lower-case hexadecimal without padding.
    static std::string codedPassword(const std::string& password);

private:
    bool waitForDataConnection(std::uint32_t session, ClientLink& link);
    void endSession(std::uint32_t session);
    bool serveRequest(ClientLink& link, std::uint8_t opcode, bool& loggedIn);
    bool logIn(ClientLink& link, bool& loggedIn);
    std::optional<std::array<std::uint8_t, 3>> cameraCommand(int code, int parameter, int channel,
                                                             int speed, const std::string& who);
    std::optional<std::array<std::uint8_t, 3>> channelCommand(int index, int value,
                                                              const std::string& who);

    // A command connection's session, until it ends.
    struct Pairing {
        bool dataArrived = false;
    };

    Installation& installation_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::uint32_t nextSession_ = 1;
    std::map<std::uint32_t, Pairing> pairings_;
};

}  // namespace ambro::sim
