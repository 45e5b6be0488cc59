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
    interrupt();
    closeSockets();
}

ConnectOutcome LiveConnection::connectSession() {
    failure_.reset();
    greeting_.reset();
    const ConnectOutcome outcome = runHandshake();
    if (outcome == ConnectOutcome::Accepted || outcome == ConnectOutcome::OlderGeneration ||
        outcome == ConnectOutcome::TooManyUsers) {
        return outcome;
    }
    if (stopping_) return ConnectOutcome::Interrupted;
    return failure_.value_or(ConnectOutcome::Failed);
}

ConnectOutcome LiveConnection::runHandshake() {
    if (!openConnection(commandSocket_, false)) return ConnectOutcome::Failed;
    const ConnectOutcome greeted = greet();
    if (greeted != ConnectOutcome::Accepted) return greeted;

    if (!requestKey() || !login(commandSocket_, kCommandConnection)) return ConnectOutcome::Failed;
    if (!requestServerInformation() || !requestServerDescription() || !requestExtraBlock()) {
        return ConnectOutcome::Failed;
    }
    cameraList_ = CameraList::fromServer(channelMaskOf(serverInformation_), serverDescription_);

    if (!requestWord(kAuxiliaryCheckCommand, auxiliaryWord_) ||
        !openLoggedIn(auxiliarySocket_, kAuxiliaryConnection)) {
        return ConnectOutcome::Failed;
    }
    if (readers_) readers_->startAuxiliaryReader(*this);
    if (!requestWord(kVideoCheckCommand, videoWord_) ||
        !openLoggedIn(videoSocket_, kVideoConnection)) {
        return ConnectOutcome::Failed;
    }
    if (readers_) readers_->startVideoReader(*this);

    if (!requestVideoChannels(cameraList_.firstCameraMask) || !requestVideoStart()) {
        return ConnectOutcome::Failed;
    }
    ioNames_ = IoNames::fromServer(serverInformation_, serverDescription_);
    return ConnectOutcome::Accepted;
}

// Reads the command connection's greeting and tells the generations apart.
ConnectOutcome LiveConnection::greet() {
    Greeting greeting;
    if (!receiveGreeting(commandSocket_, greeting)) return ConnectOutcome::Failed;
    greeting_ = greeting;
    switch (greeting[0]) {
        case kServerMagic: return ConnectOutcome::Accepted;
        case kOlderGenerationGreeting: return ConnectOutcome::OlderGeneration;
        case kRefusingGreeting: return ConnectOutcome::TooManyUsers;
        default: return ConnectOutcome::Failed;
    }
}

bool LiveConnection::openLoggedIn(SocketField& field, std::uint32_t connectionType) {
    if (!openConnection(field, true)) return false;
    Greeting ignored;
    return receiveGreeting(field, ignored) && login(field, connectionType);
}

bool LiveConnection::openConnection(SocketField& field, bool streamOptions) {
    {
        std::lock_guard lock(socketsMutex_);
        if (stopping_) return false;
        platform::closeSocket(field);
        field = dialer_ ? dialer_->createSocket() : platform::createTcpSocket();
        if (field.load() == platform::kNoSocket) {
            failure_ = ConnectOutcome::ConnectFailed;
            return false;
        }
    }
    const auto result = dialer_ ? dialer_->connect(field, streamOptions, stopping_)
                                : dialEndpoint(field, streamOptions);

    std::lock_guard lock(socketsMutex_);
    if (result == platform::ConnectResult::Connected && !stopping_) return true;
    platform::closeSocket(field);
    failure_ = result == platform::ConnectResult::TimedOut ? ConnectOutcome::TimedOut
                                                           : ConnectOutcome::ConnectFailed;
    return false;
}

platform::ConnectResult LiveConnection::dialEndpoint(int socket, bool streamOptions) {
    const auto address = platform::resolveIpv4(endpoint_.host);
    const auto port = parsePortText(endpoint_.port);
    if (!address || !port || (streamOptions && !platform::setStreamSocketOptions(socket))) {
        return platform::ConnectResult::Refused;
    }
    return platform::connectIpv4(socket, *address, *port, platform::replyDeadline(), &stopping_);
}

bool LiveConnection::stepFailed(bool timedOut) {
    if (timedOut) failure_ = ConnectOutcome::TimedOut;
    return false;
}

bool LiveConnection::receiveGreeting(SocketField& socket, Greeting& greeting) {
    const Deadline deadline = platform::replyDeadline();
    for (auto& word : greeting) {
        std::uint8_t bytes[4];
        const IoResult received = receiveExactly(socket, bytes, 4, deadline);
        if (received != IoResult::Done) return stepFailed(received == IoResult::TimedOut);
        word = loadLe32(bytes);
    }
    return true;
}

bool LiveConnection::sendAndRead(SocketField& socket, const FramedRequest& message,
                                 std::span<std::uint8_t> reply,
                                 std::optional<std::uint32_t> expectedCommand) {
    const Deadline deadline = platform::replyDeadline();
    const IoResult sent = message.send(socket, deadline);
    if (sent != IoResult::Done) return stepFailed(sent == IoResult::TimedOut);
    const ReplyResult read = readReply(socket, reply, deadline);
    if (read != ReplyResult::Read) return stepFailed(read == ReplyResult::TimedOut);
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
    // 72 bytes of body always fit the send buffer.
    (void)message.appendBytes(user);
    (void)message.appendBytes(password);
    (void)message.appendLe32(kLoginMarker);
    (void)message.appendLe32(connectionType);
    std::array<std::uint8_t, kLoginReplySize> reply;
    if (!sendAndRead(socket, message, reply, kLoginCommand)) return false;
    const std::uint32_t status = loadLe32(reply.data() + kBodyOffset);
    if (status != kLoginAccepted && status != kLoginAcceptedAlso) {
        failure_ = ConnectOutcome::LoginRefused;
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
    extraBlockWord_ = loadLe32(reply.data() + kBodyOffset);
    std::copy_n(reply.begin() + kBodyOffset + 4, kExtraBlockSize, extraBlock_.begin());
    return true;
}

bool LiveConnection::requestWord(std::uint32_t command, std::uint32_t& word) {
    std::array<std::uint8_t, kWordReplySize> reply;
    if (!request(command, ticket_, reply, command)) return false;
    word = loadLe32(reply.data() + kBodyOffset);
    return true;
}

bool LiveConnection::requestVideoChannels(std::uint32_t channelMask) {
    FramedRequest message(kVideoChannelsCommand, ticket_);
    (void)message.appendLe32(channelMask);  // one word always fits
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

std::optional<PtzDescription> LiveConnection::requestPtzDescription(std::uint32_t cameraIndex) {
    FramedRequest message(kPtzDescriptionCommand, ticket_);
    (void)message.appendLe32(cameraIndex);  // one word always fits
    std::array<std::uint8_t, kPtzDescriptionReplySize> reply;
    if (!sendAndRead(commandSocket_, message, reply, std::nullopt)) return std::nullopt;
    return PtzDescription::fromRecord(std::span<const std::uint8_t, PtzDescription::kSize>(
        reply.data() + kPtzRecordOffset, PtzDescription::kSize));
}

bool LiveConnection::requestPtzPassThrough(std::uint32_t line,
                                           std::span<const std::uint8_t> bytes) {
    FramedRequest message(kPtzPassThroughCommand, ticket_);
    (void)message.appendLe32(line);  // one word always fits
    if (!message.appendBytes(bytes)) return false;
    std::array<std::uint8_t, kPlainReplySize> reply;
    return sendAndRead(commandSocket_, message, reply, std::nullopt);
}

bool LiveConnection::requestOutput(std::uint16_t output, std::uint16_t state) {
    FramedRequest message(kOutputCommand, ticket_);
    // Two half-words always fit.
    (void)message.appendLe16(output);
    (void)message.appendLe16(state);
    std::array<std::uint8_t, kPlainReplySize> reply;
    return sendAndRead(commandSocket_, message, reply, std::nullopt);
}

void LiveConnection::interrupt() {
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
