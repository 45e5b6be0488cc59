#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::net {

using platform::SocketField;

// The outcome of connecting the control connection, numbered as the
// server's handshake has always been reported.
enum class [[nodiscard]] TwoPortConnectResult : int {
    Failed = -1,       // no connection, a short handshake, or a second attempt
    NotConfirmed = 0,  // connected, but the server did not confirm with "RDY"
    Ready = 1,
};

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

    // The reply to a camera or channel command that the server accepted.
    struct CommandAnswer {
        // Non-zero when the dome or module addressed answers: the PTZ answer
        // of the dome's keep-alive, the I/O answer of a module poll.
        std::uint8_t answer = 0;
        // Passed on as they came; this client does not read them.
        ReplyBytes followingBytes{};
    };

    // Resolves the host (dotted text first, then a name lookup); an address
    // that cannot be found stays all ones and the later connect fails.
    TwoPortConnection(const std::string& host, std::uint16_t commandPort, std::uint16_t dataPort);
    ~TwoPortConnection();

    TwoPortConnection(const TwoPortConnection&) = delete;
    TwoPortConnection& operator=(const TwoPortConnection&) = delete;

    // Only one attempt per object.
    TwoPortConnectResult connect(std::int32_t clientType);

    // The caller codes the password (codeTwoPortPassword). Sends nothing and
    // fails when both texts together exceed kMaxLoginTextLength. When the
    // server accepts, the two bytes that follow its status byte.
    [[nodiscard]] std::optional<ReplyBytes> login(const std::string& codedPassword,
                                                  const std::string& userName);

    // Short form (4 bytes) for server versions up to 6099, long form with the
    // speed byte above. Each field is cut to its low byte. None when the
    // request failed or the server did not accept it.
    [[nodiscard]] std::optional<CommandAnswer> cameraCommand(int code, int parameter, int channel,
                                                             int speed);
    // The short form whatever the server's version, as the keep-alive of the
    // current camera's dome is sent.
    [[nodiscard]] std::optional<CommandAnswer> cameraCommandShortForm(int code, int parameter,
                                                                      int channel);
    [[nodiscard]] std::optional<CommandAnswer> channelCommand(int index, int value);

    // Wakes any thread blocked on either socket, a connect in progress
    // included; safe from another thread. The sockets are closed by the
    // destructor.
    void shutdownSockets();

    std::int32_t serverVersion() const { return serverVersion_; }

  private:
    bool openDataSocket();
    // Sends a request with one send call and reads the status byte and, when
    // it is 1, as many more bytes as `reply` holds.
    [[nodiscard]] bool exchange(std::span<const std::uint8_t> request,
                                std::span<std::uint8_t> reply);
    std::optional<CommandAnswer> commandReply(std::span<const std::uint8_t> request);
    // Receives exactly n bytes on the command socket; on failure shuts the
    // command socket down and returns false.
    [[nodiscard]] bool receiveCommand(std::uint8_t* bytes, int n, platform::Deadline deadline);

    SocketField commandSocket_{platform::kNoSocket};
    SocketField dataSocket_{platform::kNoSocket};
    std::uint32_t address_;
    std::uint16_t commandPort_;
    std::uint16_t dataPort_;
    std::int32_t sessionNumber_ = -1;
    std::int32_t serverVersion_ = 0;
    bool attempted_ = false;
    std::atomic<bool> stopping_{false};
};

}  // namespace ambro::net
