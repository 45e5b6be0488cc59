#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "net/CameraList.h"
#include "net/CredentialCipher.h"
#include "net/FramedMessage.h"
#include "net/IoNames.h"
#include "net/ServerBlocks.h"
#include "net/SessionEndpoint.h"
#include "platform/Deadline.h"
#include "platform/SocketField.h"
#include "platform/TcpSocket.h"

namespace ambro::net {

using platform::Deadline;
using platform::SocketField;

// The four words a server sends as soon as it accepts a connection.
using Greeting = std::array<std::uint32_t, 4>;
// Word 0 of an older-generation greeting; words 2 and 3 then carry the ports
// of its byte-coded control connection.
inline constexpr std::uint32_t kOlderGenerationGreeting = 0x11223344;
// Word 0 of an older-generation server that refuses this client.
inline constexpr std::uint32_t kRefusingGreeting = 0x44332211;

// The connection types a login announces.
inline constexpr std::uint32_t kCommandConnection = 0;
inline constexpr std::uint32_t kVideoConnection = 1;
inline constexpr std::uint32_t kAuxiliaryConnection = 3;

// Logins of these types carry the stored ticket; logins of the issuing types
// hand out a new one.
bool loginCarriesTicket(std::uint32_t connectionType);
bool loginIssuesTicket(std::uint32_t connectionType);

class LiveConnection;

// What the server says of a camera's dome (the PTZ description reply).
struct PtzDescription {
    static constexpr std::size_t kSize = 64;
    bool present = false;
    std::uint32_t line = 0;           // sent with every pass-through request
    std::uint32_t address = 0;        // 0-based, as the server sent it
    std::uint32_t speedLevel = 0;
    std::string protocolName;         // the dome model name to look up

    // Dome addresses run from 1 to 255; the server counts from 0. A larger
    // address gives 0, which no dome answers to, so nothing is built for it.
    static constexpr std::uint32_t kLastAddress = 254;
    int addressNumber() const {
        return address <= kLastAddress ? static_cast<int>(address) + 1 : 0;
    }
    // Speed levels run from 0 (each command picks its own) to 5.
    int speedLevelNumber() const { return speedLevel <= 5 ? static_cast<int>(speedLevel) : 0; }

    static PtzDescription fromRecord(std::span<const std::uint8_t, kSize> record);
};

// Where the handshake hands over a connection once it is logged in: the
// readers of the two streams the server pushes.
class LiveStreamReaders {
public:
    virtual ~LiveStreamReaders() = default;
    virtual void startAuxiliaryReader(LiveConnection& connection) = 0;
    virtual void startVideoReader(LiveConnection& connection) = 0;
};

// Opens the connections of a session. Without one, a session dials its
// endpoint over TCP; a harness hands over connected sockets of its own
// (socket pairs) instead, so the protocol runs without a network.
class LiveDialer {
public:
    virtual ~LiveDialer() = default;
    // A new socket for the next connection, or kNoSocket.
    virtual int createSocket() = 0;
    // Connects the socket; the auxiliary and video connections ask for the
    // stream options. `abandon` set from another thread ends the attempt.
    virtual platform::ConnectResult connect(int socket, bool streamOptions,
                                            const std::atomic<bool>& abandon) = 0;
};

// How a connectSession ended.
enum class [[nodiscard]] ConnectOutcome {
    Accepted,         // logged in on all three connections and video started
    OlderGeneration,  // the greeting names an older-generation server
    TooManyUsers,     // an older-generation server that refuses this client
    LoginRefused,     // the server refused the user name or password
    ConnectFailed,    // no socket, no address, or the connection was refused
    TimedOut,         // the server did not answer a step in time
    Failed,           // a connection broke or a reply did not fit its step
    Interrupted,      // stopped from another thread
};

// The current-generation side of a live session: the command, auxiliary and
// video connections to one server and everything the handshake learns. Each
// handshake step and each request has a reply deadline (platform::replyTimeout);
// the pushed streams are read by the session's readers without one. Requests
// run on one thread at a time; interrupt may be called from any thread.
class LiveConnection {
public:
    LiveConnection(SessionEndpoint endpoint, std::string userName, std::string password);
    ~LiveConnection();

    LiveConnection(const LiveConnection&) = delete;
    LiveConnection& operator=(const LiveConnection&) = delete;

    // Without readers the pushed streams are simply not read.
    void setStreamReaders(LiveStreamReaders* readers) { readers_ = readers; }
    // Set before connectSession; none dials the endpoint over TCP.
    void setDialer(LiveDialer* dialer) { dialer_ = dialer; }

    // The whole handshake. Opened sockets stay for closeSockets whatever the
    // outcome; greeting() keeps what the server first said.
    ConnectOutcome connectSession();

    // Requests made while the session runs, on the command connection; the
    // caller serialises them. False (none) when the request or its reply
    // failed; the session ends then, whatever the reason.
    [[nodiscard]] bool requestVideoChannels(std::uint32_t channelMask);
    [[nodiscard]] std::optional<PtzDescription> requestPtzDescription(std::uint32_t cameraIndex);
    [[nodiscard]] bool requestPtzPassThrough(std::uint32_t line,
                                             std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool requestOutput(std::uint16_t output, std::uint16_t state);

    // Makes every blocked or later socket call of the session fail, a connect
    // in progress included; callable from any thread. The descriptors stay
    // open until closeSockets.
    void interrupt();
    // Closes the three sockets; only once no thread uses them any more.
    void closeSockets();

    const std::optional<Greeting>& greeting() const { return greeting_; }
    const std::array<std::uint8_t, kSessionKeySize>& sessionKey() const { return sessionKey_; }
    std::uint32_t keyWord() const { return keyWord_; }
    std::uint32_t ticket() const { return ticket_; }
    const ServerInformation& serverInformation() const { return serverInformation_; }
    const ServerDescription& serverDescription() const { return serverDescription_; }
    std::uint32_t extraBlockWord() const { return extraBlockWord_; }
    const std::array<std::uint8_t, kExtraBlockSize>& extraBlock() const { return extraBlock_; }
    std::uint32_t auxiliaryWord() const { return auxiliaryWord_; }
    std::uint32_t videoWord() const { return videoWord_; }
    const CameraList& cameraList() const { return cameraList_; }
    const IoNames& ioNames() const { return ioNames_; }

    // The sockets, for the readers of the pushed streams and, with an
    // older-generation server, for the session that speaks on the command
    // connection the handshake opened.
    SocketField& commandSocket() { return commandSocket_; }
    SocketField& auxiliarySocket() { return auxiliarySocket_; }
    SocketField& videoSocket() { return videoSocket_; }

private:
    ConnectOutcome runHandshake();
    ConnectOutcome greet();
    bool openConnection(SocketField& field, bool streamOptions);
    platform::ConnectResult dialEndpoint(int socket, bool streamOptions);
    bool openLoggedIn(SocketField& field, std::uint32_t connectionType);
    bool receiveGreeting(SocketField& socket, Greeting& greeting);
    bool requestKey();
    bool login(SocketField& socket, std::uint32_t connectionType);
    bool requestServerInformation();
    bool requestServerDescription();
    bool requestExtraBlock();
    bool requestVideoStart();
    // Sends a head-only request with the given parameter and reads a reply of
    // `reply.size()` bytes; with `expectedCommand` the reply must repeat it.
    bool request(std::uint32_t command, std::uint32_t parameter, std::span<std::uint8_t> reply,
                 std::optional<std::uint32_t> expectedCommand);
    bool sendAndRead(SocketField& socket, const FramedRequest& message,
                     std::span<std::uint8_t> reply, std::optional<std::uint32_t> expectedCommand);
    // A head-only request whose reply carries one word at offset 16.
    bool requestWord(std::uint32_t command, std::uint32_t& word);
    // Remembers a step that ran out of time; false, for the step.
    bool stepFailed(bool timedOut);

    const SessionEndpoint endpoint_;
    const std::string userName_;
    const std::string password_;
    LiveStreamReaders* readers_ = nullptr;
    LiveDialer* dialer_ = nullptr;

    // Guards replacing, closing and shutting down the socket descriptors, so a
    // stopping thread never shuts down a number that was just reused.
    std::mutex socketsMutex_;
    std::atomic<bool> stopping_{false};
    SocketField commandSocket_{platform::kNoSocket};
    SocketField auxiliarySocket_{platform::kNoSocket};
    SocketField videoSocket_{platform::kNoSocket};

    // Set by the step that failed; read when the handshake ends.
    std::optional<ConnectOutcome> failure_;
    std::optional<Greeting> greeting_;
    std::array<std::uint8_t, kSessionKeySize> sessionKey_{};
    std::uint32_t keyWord_ = 0;
    std::uint32_t ticket_ = 0;
    ServerInformation serverInformation_{};
    ServerDescription serverDescription_{};
    std::uint32_t extraBlockWord_ = 0;
    std::array<std::uint8_t, kExtraBlockSize> extraBlock_{};
    std::uint32_t auxiliaryWord_ = 0;
    std::uint32_t videoWord_ = 0;
    CameraList cameraList_;
    IoNames ioNames_;
};

}  // namespace ambro::net
