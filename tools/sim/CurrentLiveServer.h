#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/sim/ClientLink.h"
#include "tools/sim/CurrentSession.h"
#include "tools/sim/Installation.h"
#include "tools/sim/WireBytes.h"

namespace ambro::sim {

// The current-generation live server: framed messages on one port. Each
// connection is greeted, then either asks for a key and logs in as a command
// connection (which opens a session and answers the client's requests), or
// logs in with the session's ticket as its auxiliary connection (pushed I/O
// state) or its video connection (a status record, then pictures of the
// cameras the command connection chose).
class CurrentLiveServer {
public:
    static constexpr std::uint32_t kClientMagic = 0x51784177;  // "wAxQ"
    static constexpr std::uint32_t kServerMagic = 0x71586157;  // "WaXq"
    static constexpr std::uint32_t kRefusingGreeting = 0x44332211;
    static constexpr std::uint32_t kAccepted = 0xF0000000;
    static constexpr std::uint32_t kRefused = 0xF0000001;
    static constexpr std::int32_t kServerKind = 16;
    static constexpr std::size_t kMaxRequestLength = 65536;

    explicit CurrentLiveServer(Installation& installation);

    void serve(ClientLink& link);

private:
    struct Request {
        std::uint32_t command = 0;
        std::uint32_t parameter = 0;
        std::vector<std::uint8_t> body;
    };

    std::optional<Request> readRequest(ClientLink& link) const;
    bool sendReply(ClientLink& link, std::uint32_t command, std::uint32_t parameter,
                   const WireBytes& body) const;
    bool greet(ClientLink& link) const;
    bool sendKey(ClientLink& link, const CurrentSession::Key& key) const;
    bool credentialsAccepted(const CurrentSession::Key& key, const std::vector<std::uint8_t>& body,
                             std::string& user) const;
    void login(ClientLink& link, const Request& request,
               const std::optional<CurrentSession::Key>& key);

    void serveCommands(ClientLink& link, const std::shared_ptr<CurrentSession>& session);
    bool answer(ClientLink& link, const Request& request, CurrentSession& session);
    WireBytes serverInformation() const;
    WireBytes serverDescription() const;
    WireBytes ptzDescription(std::uint32_t camera) const;
    std::uint32_t passThrough(const std::vector<std::uint8_t>& body, const std::string& who);
    void serveAuxiliary(ClientLink& link, const std::shared_ptr<CurrentSession>& session);

    Installation& installation_;
    CurrentSessionTable sessions_;
};

}  // namespace ambro::sim
