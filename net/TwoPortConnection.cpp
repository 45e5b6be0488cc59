#include "net/TwoPortConnection.h"

#include <algorithm>

#include "net/StreamIo.h"
#include "platform/ByteOrder.h"
#include "platform/TcpSocket.h"

namespace ambro::net {

namespace {

constexpr std::uint8_t kAccepted = 1;
constexpr std::uint8_t kLoginCode = 7;
constexpr std::uint8_t kCameraShortCode = 53;
constexpr std::uint8_t kCameraLongCode = 54;
constexpr std::uint8_t kChannelCode = 100;
constexpr std::int32_t kLastShortFormVersion = 6099;
// The texts pass through 64-byte buffers on their way to the wire.
constexpr std::size_t kLoginTextBuffer = 64;

std::uint8_t lowByte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

bool openConnected(SocketField& field, std::uint32_t address, std::uint16_t port,
                   const std::atomic<bool>& abandon) {
    field = platform::createTcpSocket();
    return field.load() != platform::kNoSocket &&
           platform::connectIpv4(field, address, port, platform::replyDeadline(), &abandon) ==
               platform::ConnectResult::Connected;
}

}  // namespace

TwoPortConnection::TwoPortConnection(const std::string& host, std::uint16_t commandPort,
                                     std::uint16_t dataPort)
    : address_(platform::resolveIpv4(host).value_or(platform::kNoneAddress)),
      commandPort_(commandPort),
      dataPort_(dataPort) {}

TwoPortConnection::~TwoPortConnection() {
    platform::closeSocket(dataSocket_);
    platform::closeSocket(commandSocket_);
}

TwoPortConnectResult TwoPortConnection::connect(std::int32_t clientType) {
    using enum TwoPortConnectResult;
    if (attempted_ || address_ == 0) return Failed;
    attempted_ = true;

    if (!openConnected(commandSocket_, address_, commandPort_, stopping_)) return Failed;

    const auto receiveWord = [this](std::uint8_t* bytes) {
        return receiveExactly(commandSocket_, bytes, 4, platform::replyDeadline()) ==
               IoResult::Done;
    };
    std::uint8_t word[4];
    if (!receiveWord(word)) return Failed;
    serverVersion_ = static_cast<std::int32_t>(platform::loadLe32(word));

    platform::storeLe32(word, static_cast<std::uint32_t>(clientType));
    if (sendAll(commandSocket_, word, 4, platform::replyDeadline()) != IoResult::Done) {
        return Failed;
    }

    if (!receiveWord(word)) return Failed;
    sessionNumber_ = static_cast<std::int32_t>(platform::loadLe32(word));
    if (sessionNumber_ < 0) return Failed;

    if (!openDataSocket()) return Failed;

    std::uint8_t confirmation[4];
    if (!receiveWord(confirmation)) return NotConfirmed;
    // Compared as a zero-terminated text: "RDY" and its terminator.
    const bool ready = confirmation[0] == 'R' && confirmation[1] == 'D' &&
                       confirmation[2] == 'Y' && confirmation[3] == 0;
    return ready ? Ready : NotConfirmed;
}

bool TwoPortConnection::openDataSocket() {
    platform::closeSocket(dataSocket_);
    if (!openConnected(dataSocket_, address_, dataPort_, stopping_)) return false;
    std::uint8_t number[4];
    platform::storeLe32(number, static_cast<std::uint32_t>(sessionNumber_));
    // A number that does not arrive shows as a missing confirmation.
    (void)sendAll(dataSocket_, number, 4, platform::replyDeadline());
    return true;
}

std::optional<TwoPortConnection::ReplyBytes> TwoPortConnection::login(
    const std::string& codedPassword, const std::string& userName) {
    const std::size_t passwordLength = std::min(codedPassword.size(), kLoginTextBuffer - 1);
    const std::size_t userLength = std::min(userName.size(), kLoginTextBuffer - 1);
    if (passwordLength + userLength > kMaxLoginTextLength) return std::nullopt;

    std::uint8_t request[2 + 2 * kLoginTextBuffer];
    std::size_t length = 0;
    request[length++] = kLoginCode;
    request[length++] = static_cast<std::uint8_t>(passwordLength + userLength + 2);
    length = std::copy_n(codedPassword.begin(), passwordLength, request + length) - request;
    request[length++] = 0;
    length = std::copy_n(userName.begin(), userLength, request + length) - request;
    request[length++] = 0;
    ReplyBytes reply{};
    if (!exchange({request, length}, reply)) return std::nullopt;
    return reply;
}

std::optional<TwoPortConnection::CommandAnswer> TwoPortConnection::cameraCommand(int code,
                                                                                 int parameter,
                                                                                 int channel,
                                                                                 int speed) {
    if (serverVersion_ > kLastShortFormVersion) {
        const std::uint8_t request[] = {kCameraLongCode, lowByte(code), lowByte(parameter),
                                        lowByte(channel), lowByte(speed)};
        return commandReply(request);
    }
    return cameraCommandShortForm(code, parameter, channel);
}

std::optional<TwoPortConnection::CommandAnswer> TwoPortConnection::cameraCommandShortForm(
    int code, int parameter, int channel) {
    const std::uint8_t request[] = {kCameraShortCode, lowByte(code), lowByte(parameter),
                                    lowByte(channel)};
    return commandReply(request);
}

std::optional<TwoPortConnection::CommandAnswer> TwoPortConnection::channelCommand(int index,
                                                                                  int value) {
    const std::uint8_t request[] = {kChannelCode, lowByte(index), lowByte(value)};
    return commandReply(request);
}

std::optional<TwoPortConnection::CommandAnswer> TwoPortConnection::commandReply(
    std::span<const std::uint8_t> request) {
    std::uint8_t reply[3];
    if (!exchange(request, reply)) return std::nullopt;
    return CommandAnswer{reply[0], {reply[1], reply[2]}};
}

bool TwoPortConnection::exchange(std::span<const std::uint8_t> request,
                                 std::span<std::uint8_t> reply) {
    // A single send whose result is not looked at: a broken connection shows
    // up on the receive that follows. The reply has one deadline in all.
    const platform::Deadline deadline = platform::replyDeadline();
    platform::sendSome(commandSocket_, request.data(), request.size(), deadline);
    std::uint8_t status = 0;
    if (!receiveCommand(&status, 1, deadline) || status != kAccepted) return false;
    return receiveCommand(reply.data(), static_cast<int>(reply.size()), deadline);
}

bool TwoPortConnection::receiveCommand(std::uint8_t* bytes, int n, platform::Deadline deadline) {
    if (receiveExactly(commandSocket_, bytes, n, deadline) == IoResult::Done) return true;
    platform::shutdownSocket(commandSocket_);
    return false;
}

void TwoPortConnection::shutdownSockets() {
    stopping_ = true;
    platform::shutdownSocket(commandSocket_);
    platform::shutdownSocket(dataSocket_);
}

}  // namespace ambro::net
