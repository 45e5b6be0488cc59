#include "net/LiveConnection.h"

#include <algorithm>
#include <cstring>

#include "net/Blowfish.h"
#include "net/FixedText.h"
#include "net/StreamIo.h"
#include "platform/ByteOrder.h"
#include "platform/TcpSocket.h"

namespace ambro::net {

using platform::loadLe32;

namespace {

enum Command : std::uint32_t {
    kLoginCommand = 1,
    kKeyCommand = 3,
    kInformationCommand = 7,
    kDescriptionCommand = 8,
    kVideoCheckCommand = 18,
    kVideoStartCommand = 19,
    kVideoChannelsCommand = 32,
    kPtzPassThroughCommand = 50,
    kPtzDescriptionCommand = 56,
    kOutputCommand = 68,
    kAuxiliaryCheckCommand = 176,
    kExtraBlockCommand = 226,
};

constexpr std::size_t kKeyReplySize = 36;
constexpr std::size_t kLoginReplySize = 20;
constexpr std::size_t kWordReplySize = 24;
constexpr std::size_t kPlainReplySize = 20;
constexpr std::size_t kBodyOffset = 16;
constexpr std::size_t kPtzDescriptionReplySize = 84;
constexpr std::size_t kPtzRecordOffset = 20;
constexpr std::size_t kProtocolNameOffset = 20;
constexpr std::size_t kProtocolNameLength = 44;

constexpr std::uint32_t kLoginAccepted = 0xF0000000;
constexpr std::uint32_t kLoginAcceptedAlso = 0xF0000004;
constexpr std::uint32_t kLoginMarker = 1;

}  // namespace

bool loginCarriesTicket(std::uint32_t connectionType) {
    switch (connectionType) {
        case 1: case 3: case 51: case 52: case 61: case 62: case 71: case 72:
            return true;
        default:
            return false;
    }
}

bool loginIssuesTicket(std::uint32_t connectionType) {
    return connectionType == 0 || connectionType == 50 || connectionType == 60 ||
           connectionType == 70;
}

LiveConnection::LiveConnection(SessionEndpoint endpoint, std::string userName,
                               std::string password)
    : endpoint_(std::move(endpoint)), userName_(std::move(userName)),
      password_(std::move(password)) {}

LiveConnection::~LiveConnection() {
    shutdownSockets();
    closeSockets();
}

bool LiveConnection::connectSession() {
    state_ = ConnectionState::Connecting;
    if (!openCommandConnection()) return false;
    greeting_.reset();
    Greeting greeting;
    if (!receiveGreeting(commandSocket_, greeting)) return false;
    greeting_ = greeting;
    if (greeting[0] != kServerMagic) return false;

    if (!requestKey() || !login(commandSocket_, kCommandConnection)) return false;
    if (!requestServerInformation() || !requestServerDescription() || !requestExtraBlock()) {
        return false;
    }
    cameraList_ = CameraList::fromServer(channelMaskOf(serverInformation_), serverDescription_);

    if (!requestAuxiliaryConnection() || !openAuxiliaryConnection()) return false;
    if (readers_) readers_->startAuxiliaryReader(*this);
    if (!requestVideoConnection() || !openVideoConnection()) return false;
    if (readers_) readers_->startVideoReader(*this);

    if (!requestVideoChannels(cameraList_.firstCameraMask) || !requestVideoStart()) return false;
    ioNames_ = IoNames::fromServer(serverInformation_, serverDescription_);
    return true;
}

bool LiveConnection::openCommandConnection() {
    return openConnection(commandSocket_, false);
}

bool LiveConnection::openAuxiliaryConnection() {
    return openLoggedIn(auxiliarySocket_, auxiliaryGreeting_, kAuxiliaryConnection);
}

bool LiveConnection::openVideoConnection() {
    return openLoggedIn(videoSocket_, videoGreeting_, kVideoConnection);
}

bool LiveConnection::openLoggedIn(SocketField& field, std::optional<Greeting>& greeting,
                                  std::uint32_t connectionType) {
    if (!openConnection(field, true)) return false;
    Greeting words;
    if (!receiveGreeting(field, words)) return false;
    greeting = words;
    return login(field, connectionType);
}

bool LiveConnection::openConnection(SocketField& field, bool streamOptions) {
    {
        std::lock_guard lock(socketsMutex_);
        if (stopping_) return false;
        platform::closeSocket(field);
        field = platform::createTcpSocket();
        if (field.load() == platform::kNoSocket) {
            state_ = ConnectionState::NoSocket;
            return false;
        }
    }
    const auto address = platform::resolveIpv4(endpoint_.host);
    const auto port = parsePortText(endpoint_.port);
    bool connected = address && port;
    if (connected && streamOptions && !platform::setStreamSocketOptions(field)) return false;
    connected = connected && platform::connectIpv4(field, *address, *port);

    std::lock_guard lock(socketsMutex_);
    if (connected && !stopping_) return true;
    platform::closeSocket(field);
    state_ = ConnectionState::ConnectFailed;
    return false;
}

bool LiveConnection::receiveGreeting(SocketField& socket, Greeting& greeting) {
    for (auto& word : greeting) {
        std::uint8_t bytes[4];
        if (receiveExactly(socket, bytes, 4) != 4) return false;
        word = loadLe32(bytes);
    }
    return true;
}

bool LiveConnection::sendAndRead(SocketField& socket, const FramedRequest& message,
                                 std::span<std::uint8_t> reply,
                                 std::optional<std::uint32_t> expectedCommand) {
    if (!message.send(socket)) return false;
    std::uint32_t totalLength = 0;
    if (!readReply(socket, reply, totalLength)) return false;
    return !expectedCommand || loadLe32(reply.data() + 8) == *expectedCommand;
}

bool LiveConnection::request(std::uint32_t command, std::uint32_t parameter,
                             std::span<std::uint8_t> reply,
                             std::optional<std::uint32_t> expectedCommand) {
    return sendAndRead(commandSocket_, FramedRequest(command, parameter), reply, expectedCommand);
}

bool LiveConnection::requestKey() {
    std::array<std::uint8_t, kKeyReplySize> reply;
    if (!request(kKeyCommand, 0, reply, kKeyCommand)) return false;
    std::copy_n(reply.begin() + kBodyOffset, kSessionKeySize, sessionKey_.begin());
    keyWord_ = loadLe32(reply.data() + kBodyOffset + kSessionKeySize);
    return true;
}

bool LiveConnection::login(SocketField& socket, std::uint32_t connectionType) {
    // One cipher, keyed with the session key, per login message.
    const Blowfish cipher(sessionKey_);
    CredentialField user = makeCredentialField(userName_);
    CredentialField password = makeCredentialField(password_);
    encryptCredentialField(cipher, user);
    encryptCredentialField(cipher, password);

    FramedRequest message(kLoginCommand, loginCarriesTicket(connectionType) ? ticket_ : 0);
    message.appendBytes(user);
    message.appendBytes(password);
    message.appendLe32(kLoginMarker);
    message.appendLe32(connectionType);
    std::array<std::uint8_t, kLoginReplySize> reply;
    if (!sendAndRead(socket, message, reply, kLoginCommand)) return false;
    const std::uint32_t status = loadLe32(reply.data() + kBodyOffset);
    if (status != kLoginAccepted && status != kLoginAcceptedAlso) {
        state_ = ConnectionState::LoginRefused;
        return false;
    }
    if (loginIssuesTicket(connectionType)) ticket_ = loadLe32(reply.data() + 12);
    return true;
}

bool LiveConnection::requestServerInformation() {
    std::array<std::uint8_t, kBodyOffset + kServerInformationSize> reply;
    if (!request(kInformationCommand, ticket_, reply, std::nullopt)) return false;
    std::copy_n(reply.begin() + kBodyOffset, kServerInformationSize, serverInformation_.begin());
    return true;
}

bool LiveConnection::requestServerDescription() {
    std::array<std::uint8_t, kBodyOffset + kServerDescriptionSize> reply;
    if (!request(kDescriptionCommand, 0, reply, kDescriptionCommand)) return false;
    std::copy_n(reply.begin() + kBodyOffset, kServerDescriptionSize, serverDescription_.begin());
    return true;
}

bool LiveConnection::requestExtraBlock() {
    std::array<std::uint8_t, kBodyOffset + 4 + kExtraBlockSize> reply;
    if (!request(kExtraBlockCommand, ticket_, reply, std::nullopt)) return false;
    extraWord_ = loadLe32(reply.data() + kBodyOffset);
    std::copy_n(reply.begin() + kBodyOffset + 4, kExtraBlockSize, extraBlock_.begin());
    return true;
}

bool LiveConnection::requestWord(std::uint32_t command, std::uint32_t& word) {
    std::array<std::uint8_t, kWordReplySize> reply;
    if (!request(command, ticket_, reply, command)) return false;
    word = loadLe32(reply.data() + kBodyOffset);
    return true;
}

bool LiveConnection::requestAuxiliaryConnection() {
    return requestWord(kAuxiliaryCheckCommand, auxiliaryWord_);
}

bool LiveConnection::requestVideoConnection() {
    return requestWord(kVideoCheckCommand, videoWord_);
}

bool LiveConnection::requestVideoChannels(std::uint32_t channelMask) {
    FramedRequest message(kVideoChannelsCommand, ticket_);
    message.appendLe32(channelMask);
    std::array<std::uint8_t, kPlainReplySize> reply;
    return sendAndRead(commandSocket_, message, reply, std::nullopt);
}

bool LiveConnection::requestVideoStart() {
    std::array<std::uint8_t, kPlainReplySize> reply;
    return request(kVideoStartCommand, ticket_, reply, kVideoStartCommand);
}

PtzDescription PtzDescription::fromRecord(std::span<const std::uint8_t, kSize> record) {
    PtzDescription description;
    description.present = loadLe32(record.data()) != 0;
    description.line = loadLe32(record.data() + 4);
    description.address = loadLe32(record.data() + 8);
    description.speedLevel = loadLe32(record.data() + 12);
    description.protocolName =
        fixedText(record.subspan(kProtocolNameOffset, kProtocolNameLength));
    return description;
}

bool LiveConnection::requestPtzDescription(std::uint32_t cameraIndex,
                                           PtzDescription& description) {
    FramedRequest message(kPtzDescriptionCommand, ticket_);
    message.appendLe32(cameraIndex);
    std::array<std::uint8_t, kPtzDescriptionReplySize> reply;
    if (!sendAndRead(commandSocket_, message, reply, std::nullopt)) return false;
    description = PtzDescription::fromRecord(
        std::span<const std::uint8_t, PtzDescription::kSize>(reply.data() + kPtzRecordOffset,
                                                             PtzDescription::kSize));
    return true;
}

bool LiveConnection::requestPtzPassThrough(std::uint32_t line,
                                           std::span<const std::uint8_t> bytes) {
    FramedRequest message(kPtzPassThroughCommand, ticket_);
    message.appendLe32(line);
    if (!message.appendBytes(bytes)) return false;
    std::array<std::uint8_t, kPlainReplySize> reply;
    return sendAndRead(commandSocket_, message, reply, std::nullopt);
}

bool LiveConnection::requestOutput(std::uint16_t output, std::uint16_t state) {
    FramedRequest message(kOutputCommand, ticket_);
    message.appendLe16(output);
    message.appendLe16(state);
    std::array<std::uint8_t, kPlainReplySize> reply;
    return sendAndRead(commandSocket_, message, reply, std::nullopt);
}

void LiveConnection::shutdownSockets() {
    std::lock_guard lock(socketsMutex_);
    stopping_ = true;
    platform::shutdownSocket(commandSocket_);
    platform::shutdownSocket(auxiliarySocket_);
    platform::shutdownSocket(videoSocket_);
}

void LiveConnection::closeSockets() {
    std::lock_guard lock(socketsMutex_);
    platform::closeSocket(commandSocket_);
    platform::closeSocket(auxiliarySocket_);
    platform::closeSocket(videoSocket_);
}

}  // namespace ambro::net
