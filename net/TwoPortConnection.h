#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::net {

using platform::SocketField;

// The byte-coded control connection of older-generation servers: a command
// socket carrying log-in, camera and channel commands, and a data socket on a
// second port that is tied to the session by the number the server hands out.
class TwoPortConnection {
public:
    // The client type this program announces when it connects.
    static constexpr std::int32_t kClientType = 2;
    // Coded password and user name together may hold at most this many bytes.
    static constexpr std::size_t kMaxLoginTextLength = 66;

    using ReplyBytes = std::array<std::uint8_t, 2>;

    // Resolves the host (dotted text first, then a name lookup); an address
    // that cannot be found stays all ones and the later connect fails.
    TwoPortConnection(const std::string& host, std::uint16_t commandPort, std::uint16_t dataPort);
    virtual ~TwoPortConnection();

    TwoPortConnection(const TwoPortConnection&) = delete;
    TwoPortConnection& operator=(const TwoPortConnection&) = delete;

    // Dotted text only, no name lookup.
    virtual void setAddress(const std::string& dottedHost, std::uint16_t commandPort,
                            std::uint16_t dataPort);

    // 1 when the server confirmed with "RDY", 0 when it did not, -1 on failure.
    // Only one attempt per object.
    virtual int connect(std::int32_t clientType);

    // The caller codes the password (codeTwoPortPassword). Sends nothing and
    // fails when both texts together exceed kMaxLoginTextLength.
    bool login(const std::string& codedPassword, const std::string& userName, ReplyBytes& out2);

    // Short form (4 bytes) for server versions up to 6099, long form with the
    // speed byte above. Each field is cut to its low byte.
    bool cameraCommand(int code, int parameter, int channel, int speed, std::uint8_t& out1,
                       ReplyBytes& out2);
    // The short form whatever the server's version, as the keep-alive of the
    // current camera's dome is sent.
    bool cameraCommandShortForm(int code, int parameter, int channel, std::uint8_t& out1,
                                ReplyBytes& out2);
    bool channelCommand(int index, int value, std::uint8_t& out1, ReplyBytes& out2);

    // Wakes any thread blocked on either socket, a connect in progress
    // included; safe from another thread. The sockets are closed by the
    // destructor.
    void shutdownSockets();

    std::int32_t serverVersion() const { return serverVersion_; }
    std::int32_t sessionNumber() const { return sessionNumber_; }
    bool dataConnected() const { return dataConnected_; }
    std::uint32_t address() const { return address_; }

private:
    bool openDataSocket();
    // Sends a request with one send call and reads the status byte and, when
    // it is 1, as many more bytes as `reply` holds.
    bool exchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> reply);
    bool commandReply(std::span<const std::uint8_t> request, std::uint8_t& out1, ReplyBytes& out2);
    // Receives exactly n bytes on the command socket; on failure shuts the
    // command socket down and returns -1.
    int receiveCommand(std::uint8_t* bytes, int n, platform::Deadline deadline);

    SocketField commandSocket_{platform::kNoSocket};
    SocketField dataSocket_{platform::kNoSocket};
    std::uint32_t address_;
    std::uint16_t commandPort_;
    std::uint16_t dataPort_;
    bool dataConnected_ = false;
    std::int32_t sessionNumber_ = -1;
    std::int32_t serverVersion_ = 0;
    bool attempted_ = false;
    std::atomic<bool> stopping_{false};
};

}  // namespace ambro::net
