#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ambro::platform {

int createTcpSocket() {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    return socket < 0 ? kNoSocket : socket;
}

std::uint32_t dottedAddress(const std::string& host) {
    return ::inet_addr(host.c_str());
}

std::optional<std::uint32_t> resolveIpv4(const std::string& host) {
    const std::uint32_t dotted = dottedAddress(host);
    if (dotted != kNoneAddress) return dotted;

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* answer = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &answer) != 0 || answer == nullptr) {
        return std::nullopt;
    }
    std::optional<std::uint32_t> address;
    if (answer->ai_family == AF_INET && answer->ai_addrlen >= sizeof(sockaddr_in)) {
        address = reinterpret_cast<const sockaddr_in*>(answer->ai_addr)->sin_addr.s_addr;
    }
    ::freeaddrinfo(answer);
    return address;
}

bool connectIpv4(int socket, std::uint32_t address, std::uint16_t port) {
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    int result;
    do {
        result = ::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

bool setStreamSocketOptions(int socket) {
    const linger resetOnClose{1, 0};
    if (::setsockopt(socket, SOL_SOCKET, SO_LINGER, &resetOnClose, sizeof resetOnClose) != 0) {
        return false;
    }
    const int on = 1;
    if (::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) return false;
    const int receiveBuffer = 4096;
    return ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) == 0;
}

long sendSome(int socket, const void* bytes, std::size_t count) {
    if (socket < 0) return -1;
    ssize_t sent;
    do {
        sent = ::send(socket, bytes, count, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    return sent;
}

long receiveSome(int socket, void* bytes, std::size_t count) {
    if (socket < 0) return -1;
    ssize_t received;
    do {
        received = ::recv(socket, bytes, count, 0);
    } while (received < 0 && errno == EINTR);
    return received;
}

void shutdownSocket(int socket) {
    if (socket >= 0) ::shutdown(socket, SHUT_RDWR);
}

void closeSocket(SocketField& field) {
    const int socket = field.exchange(kNoSocket);
    if (socket >= 0) ::close(socket);
}

}  // namespace ambro::platform
