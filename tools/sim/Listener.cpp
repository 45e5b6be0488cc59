#include "tools/sim/Listener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ambro::sim {

std::optional<Listener> Listener::open(const std::string& address, int port, std::string& error) {
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return std::nullopt;
    }
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (socket < 0) {
        error = std::string("cannot create a socket: ") + std::strerror(errno);
        return std::nullopt;
    }
    const int on = 1;
    ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::listen(socket, 64) != 0) {
        error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
                std::strerror(errno);
        ::close(socket);
        return std::nullopt;
    }
    socklen_t length = sizeof local;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &length);
    return Listener(socket, ntohs(local.sin_port));
}

Listener::Listener(Listener&& other) noexcept : socket_(other.socket_), port_(other.port_) {
    other.socket_ = -1;
}

Listener& Listener::operator=(Listener&& other) noexcept {
    if (this != &other) {
        if (socket_ >= 0) ::close(socket_);
        socket_ = other.socket_;
        port_ = other.port_;
        other.socket_ = -1;
    }
    return *this;
}

Listener::~Listener() {
    if (socket_ >= 0) ::close(socket_);
}

int Listener::acceptWithin(std::chrono::milliseconds timeout) const {
    pollfd waiting{socket_, POLLIN, 0};
    if (::poll(&waiting, 1, static_cast<int>(timeout.count())) <= 0) return -1;
    const int accepted = ::accept4(socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (accepted < 0) return -1;
    // Replies go out as soon as they are written, as a recorder's do: held
    // back for the client's acknowledgement, each small tail would wait
    // for its delayed ACK.
    const int on = 1;
    ::setsockopt(accepted, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return accepted;
}

}  // namespace ambro::sim
