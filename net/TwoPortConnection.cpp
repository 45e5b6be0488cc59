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

void TwoPortConnection::setAddress(const std::string& dottedHost, std::uint16_t commandPort,
                                   std::uint16_t dataPort) {
    address_ = platform::dottedAddress(dottedHost);
    commandPort_ = commandPort;
    dataPort_ = dataPort;
}

int TwoPortConnection::connect(std::int32_t clientType) {
    if (attempted_ || address_ == 0) return -1;
    attempted_ = true;

    if (!openConnected(commandSocket_, address_, commandPort_, stopping_)) return -1;

    std::uint8_t word[4];
    if (receiveExactly(commandSocket_, word, 4, platform::replyDeadline()) != 4) return -1;
    serverVersion_ = static_cast<std::int32_t>(platform::loadLe32(word));

    platform::storeLe32(word, static_cast<std::uint32_t>(clientType));
    if (sendAll(commandSocket_, word, 4, platform::replyDeadline()) != 4) return -1;

    if (receiveExactly(commandSocket_, word, 4, platform::replyDeadline()) != 4) return -1;
    sessionNumber_ = static_cast<std::int32_t>(platform::loadLe32(word));
    if (sessionNumber_ < 0) return -1;

    if (!openDataSocket()) return -1;

    std::uint8_t confirmation[4];
    if (receiveExactly(commandSocket_, confirmation, 4, platform::replyDeadline()) != 4) return 0;
    // Compared as a zero-terminated text: "RDY" and its terminator.
    const bool ready = confirmation[0] == 'R' && confirmation[1] == 'D' &&
                       confirmation[2] == 'Y' && confirmation[3] == 0;
    return ready ? 1 : 0;
}

bool TwoPortConnection::openDataSocket() {
    platform::closeSocket(dataSocket_);
    if (!openConnected(dataSocket_, address_, dataPort_, stopping_)) return false;
    std::uint8_t number[4];
    platform::storeLe32(number, static_cast<std::uint32_t>(sessionNumber_));
    sendAll(dataSocket_, number, 4, platform::replyDeadline());
    dataConnected_ = true;
    return true;
}

bool TwoPortConnection::login(const std::string& codedPassword, const std::string& userName,
                              ReplyBytes& out2) {
    const std::size_t passwordLength = std::min(codedPassword.size(), kLoginTextBuffer - 1);
    const std::size_t userLength = std::min(userName.size(), kLoginTextBuffer - 1);
    if (passwordLength + userLength > kMaxLoginTextLength) return false;

    std::uint8_t request[2 + 2 * kLoginTextBuffer];
    std::size_t length = 0;
    request[length++] = kLoginCode;
    request[length++] = static_cast<std::uint8_t>(passwordLength + userLength + 2);
    length = std::copy_n(codedPassword.begin(), passwordLength, request + length) - request;
    request[length++] = 0;
    length = std::copy_n(userName.begin(), userLength, request + length) - request;
    request[length++] = 0;
    return exchange({request, length}, out2);
}

bool TwoPortConnection::cameraCommand(int code, int parameter, int channel, int speed,
                                      std::uint8_t& out1, ReplyBytes& out2) {
    if (serverVersion_ > kLastShortFormVersion) {
        const std::uint8_t request[] = {kCameraLongCode, lowByte(code), lowByte(parameter),
                                        lowByte(channel), lowByte(speed)};
        return commandReply(request, out1, out2);
    }
    return cameraCommandShortForm(code, parameter, channel, out1, out2);
}

bool TwoPortConnection::cameraCommandShortForm(int code, int parameter, int channel,
                                               std::uint8_t& out1, ReplyBytes& out2) {
    const std::uint8_t request[] = {kCameraShortCode, lowByte(code), lowByte(parameter),
                                    lowByte(channel)};
    return commandReply(request, out1, out2);
}

bool TwoPortConnection::channelCommand(int index, int value, std::uint8_t& out1,
                                       ReplyBytes& out2) {
    const std::uint8_t request[] = {kChannelCode, lowByte(index), lowByte(value)};
    return commandReply(request, out1, out2);
}

bool TwoPortConnection::commandReply(std::span<const std::uint8_t> request, std::uint8_t& out1,
                                     ReplyBytes& out2) {
    std::uint8_t reply[3];
    if (!exchange(request, reply)) return false;
    out1 = reply[0];
    out2 = {reply[1], reply[2]};
    return true;
}

bool TwoPortConnection::exchange(std::span<const std::uint8_t> request,
                                 std::span<std::uint8_t> reply) {
    // A single send whose result is not looked at: a broken connection shows
    // up on the receive that follows. The reply has one deadline in all.
    const platform::Deadline deadline = platform::replyDeadline();
    platform::sendSome(commandSocket_, request.data(), request.size(), deadline);
    std::uint8_t status = 0;
    if (receiveCommand(&status, 1, deadline) != 1 || status != kAccepted) return false;
    const int count = static_cast<int>(reply.size());
    return receiveCommand(reply.data(), count, deadline) == count;
}

int TwoPortConnection::receiveCommand(std::uint8_t* bytes, int n, platform::Deadline deadline) {
    if (receiveExactly(commandSocket_, bytes, n, deadline) == n) return n;
    platform::shutdownSocket(commandSocket_);
    return -1;
}

void TwoPortConnection::shutdownSockets() {
    stopping_ = true;
    platform::shutdownSocket(commandSocket_);
    platform::shutdownSocket(dataSocket_);
}

}  // namespace ambro::net
