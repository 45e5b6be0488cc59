#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace ambro::platform {

namespace {

// A connect in progress is looked at this often for an abandoned attempt.
constexpr int kConnectSliceMs = 20;

enum class Readiness { Ready, TimedOut, Failed };

Readiness waitFor(int socket, short events, Deadline deadline) {
    pollfd poller{socket, events, 0};
    for (;;) {
        const int result = ::poll(&poller, 1, deadline.pollMilliseconds());
        if (result > 0) return Readiness::Ready;
        if (result == 0) return Readiness::TimedOut;
        if (errno != EINTR) return Readiness::Failed;
    }
}

bool setBlocking(int socket, bool blocking) {
    const int flags = ::fcntl(socket, F_GETFL);
    if (flags < 0) return false;
    const int wanted = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(socket, F_SETFL, wanted) == 0;
}

ConnectResult finishConnect(int socket, Deadline deadline, const std::atomic<bool>* abandon) {
    for (;;) {
        if (abandon && abandon->load()) return ConnectResult::Abandoned;
        if (deadline.expired()) return ConnectResult::TimedOut;
        const int slice = deadline.bounded()
                              ? std::min(deadline.pollMilliseconds(), kConnectSliceMs)
                              : kConnectSliceMs;
        pollfd poller{socket, POLLOUT, 0};
        const int ready = ::poll(&poller, 1, slice);
        if (ready < 0 && errno != EINTR) return ConnectResult::Refused;
        if (ready <= 0) continue;
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
            return ConnectResult::Refused;
        }
        return ConnectResult::Connected;
    }
}

}  // namespace

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

ConnectResult connectIpv4(int socket, std::uint32_t address, std::uint16_t port,
                          Deadline deadline, const std::atomic<bool>* abandon) {
    if (socket < 0 || !setBlocking(socket, false)) return ConnectResult::Refused;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = address;
    ConnectResult result = ConnectResult::Connected;
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        result = (errno == EINPROGRESS || errno == EINTR) ? finishConnect(socket, deadline, abandon)
                                                         : ConnectResult::Refused;
    }
    if (!setBlocking(socket, true) && result == ConnectResult::Connected) {
        return ConnectResult::Refused;
    }
    return result;
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

// Waits for the socket when a deadline is set, then moves what it can
// without blocking; a spurious wake-up waits again.
template <typename Move>
long moveSome(int socket, short events, Deadline deadline, Move move) {
    if (socket < 0) return -1;
    for (;;) {
        if (deadline.bounded() && waitFor(socket, events, deadline) != Readiness::Ready) return -1;
        const ssize_t moved = move(deadline.bounded() ? MSG_DONTWAIT : 0);
        if (moved >= 0) return moved;
        if (errno == EINTR) continue;
        if (!deadline.bounded() || (errno != EAGAIN && errno != EWOULDBLOCK)) return -1;
    }
}

long sendSome(int socket, const void* bytes, std::size_t count, Deadline deadline) {
    return moveSome(socket, POLLOUT, deadline, [&](int flags) {
        return ::send(socket, bytes, count, flags | MSG_NOSIGNAL);
    });
}

long receiveSome(int socket, void* bytes, std::size_t count, Deadline deadline) {
    return moveSome(socket, POLLIN, deadline,
                    [&](int flags) { return ::recv(socket, bytes, count, flags); });
}

bool waitReadable(int socket, Deadline deadline) {
    if (socket < 0) return true;
    return waitFor(socket, POLLIN, deadline) != Readiness::TimedOut;
}

void shutdownSocket(int socket) {
    if (socket >= 0) ::shutdown(socket, SHUT_RDWR);
}

void closeSocket(SocketField& field) {
    const int socket = field.exchange(kNoSocket);
    if (socket >= 0) ::close(socket);
}

}  // namespace ambro::platform
