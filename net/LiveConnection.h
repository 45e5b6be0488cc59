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
#include "platform/SocketField.h"

namespace ambro::net {

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
    std::uint32_t address = 0;        // 0-based; the protocol gets address + 1
    std::uint32_t speedLevel = 0;
    std::string protocolName;         // the dome model name to look up

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

// The current-generation side of a live session: the command, auxiliary and
// video connections to one server and everything the handshake learns.
// Requests run on one thread at a time; shutdownSockets may be called from any
// thread to stop them.
class LiveConnection {
public:
    LiveConnection(SessionEndpoint endpoint, std::string userName, std::string password);
    ~LiveConnection();

    LiveConnection(const LiveConnection&) = delete;
    LiveConnection& operator=(const LiveConnection&) = delete;

    // Without readers the pushed streams are simply not read.
    void setStreamReaders(LiveStreamReaders* readers) { readers_ = readers; }

    // The whole handshake: true once video has been started. On false, state()
    // and greeting() tell what happened; opened sockets stay for closeSockets.
    bool connectSession();

    // The steps of the handshake, each storing what it reads.
    bool openCommandConnection();
    bool receiveGreeting(SocketField& socket, Greeting& greeting);
    bool requestKey();
    bool login(SocketField& socket, std::uint32_t connectionType);
    bool requestServerInformation();
    bool requestServerDescription();
    bool requestExtraBlock();
    bool requestAuxiliaryConnection();
    bool requestVideoConnection();
    bool openAuxiliaryConnection();
    bool openVideoConnection();
    bool requestVideoChannels(std::uint32_t channelMask);
    bool requestVideoStart();

    // Requests made while the session runs, on the command connection; the
    // caller serialises them.
    bool requestPtzDescription(std::uint32_t cameraIndex, PtzDescription& description);
    bool requestPtzPassThrough(std::uint32_t line, std::span<const std::uint8_t> bytes);
    bool requestOutput(std::uint16_t output, std::uint16_t state);

    // Makes every blocked or later socket call of the session fail; callable
    // from any thread. The descriptors stay open until closeSockets.
    void shutdownSockets();
    // Closes the three sockets; only once no thread uses them any more.
    void closeSockets();

    ConnectionState state() const { return state_.load(); }
    const std::optional<Greeting>& greeting() const { return greeting_; }
    const std::optional<Greeting>& auxiliaryGreeting() const { return auxiliaryGreeting_; }
    const std::optional<Greeting>& videoGreeting() const { return videoGreeting_; }
    const std::array<std::uint8_t, kSessionKeySize>& sessionKey() const { return sessionKey_; }
    std::uint32_t keyWord() const { return keyWord_; }
    std::uint32_t ticket() const { return ticket_; }
    const ServerInformation& serverInformation() const { return serverInformation_; }
    const ServerDescription& serverDescription() const { return serverDescription_; }
    std::uint32_t extraWord() const { return extraWord_; }
    const std::array<std::uint8_t, kExtraBlockSize>& extraBlock() const { return extraBlock_; }
    std::uint32_t auxiliaryWord() const { return auxiliaryWord_; }
    std::uint32_t videoWord() const { return videoWord_; }
    const CameraList& cameraList() const { return cameraList_; }
    const IoNames& ioNames() const { return ioNames_; }
    const SessionEndpoint& endpoint() const { return endpoint_; }

    SocketField& commandSocket() { return commandSocket_; }
    SocketField& auxiliarySocket() { return auxiliarySocket_; }
    SocketField& videoSocket() { return videoSocket_; }

private:
    bool openConnection(SocketField& field, bool streamOptions);
    bool openLoggedIn(SocketField& field, std::optional<Greeting>& greeting,
                      std::uint32_t connectionType);
    // Sends a head-only request with the given parameter and reads a reply of
    // `reply.size()` bytes; with `expectedCommand` the reply must repeat it.
    bool request(std::uint32_t command, std::uint32_t parameter, std::span<std::uint8_t> reply,
                 std::optional<std::uint32_t> expectedCommand);
    bool sendAndRead(SocketField& socket, const FramedRequest& message,
                     std::span<std::uint8_t> reply, std::optional<std::uint32_t> expectedCommand);
    // A head-only request whose reply carries one word at offset 16.
    bool requestWord(std::uint32_t command, std::uint32_t& word);

    const SessionEndpoint endpoint_;
    const std::string userName_;
    const std::string password_;
    LiveStreamReaders* readers_ = nullptr;

    // Guards replacing, closing and shutting down the socket descriptors, so a
    // stopping thread never shuts down a number that was just reused.
    std::mutex socketsMutex_;
    std::atomic<bool> stopping_{false};
    SocketField commandSocket_{platform::kNoSocket};
    SocketField auxiliarySocket_{platform::kNoSocket};
    SocketField videoSocket_{platform::kNoSocket};

    std::atomic<ConnectionState> state_{ConnectionState::Connecting};
    std::optional<Greeting> greeting_;
    std::optional<Greeting> auxiliaryGreeting_;
    std::optional<Greeting> videoGreeting_;
    std::array<std::uint8_t, kSessionKeySize> sessionKey_{};
    std::uint32_t keyWord_ = 0;
    std::uint32_t ticket_ = 0;
    ServerInformation serverInformation_{};
    ServerDescription serverDescription_{};
    std::uint32_t extraWord_ = 0;
    std::array<std::uint8_t, kExtraBlockSize> extraBlock_{};
    std::uint32_t auxiliaryWord_ = 0;
    std::uint32_t videoWord_ = 0;
    CameraList cameraList_;
    IoNames ioNames_;
};

}  // namespace ambro::net
