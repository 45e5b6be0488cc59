#include "tests/support/FakePeer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "platform/ByteOrder.h"

namespace ambro::test {

namespace {

void setIoTimeouts(int socket) {
    timeval timeout{};
    timeout.tv_sec = FakePeer::kIoTimeout.count();
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

}  // namespace

bool PeerConnection::send(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(socket_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) {
            if (sent < 0 && errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

bool PeerConnection::sendLe32(std::uint32_t value) {
    std::uint8_t bytes[4];
    platform::storeLe32(bytes, value);
    return send(bytes);
}

bool PeerConnection::receive(std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t received = ::recv(socket_, bytes.data() + done, bytes.size() - done, 0);
        if (received <= 0) {
            if (received < 0 && errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(received);
    }
    return true;
}

std::optional<std::uint32_t> PeerConnection::receiveLe32() {
    std::uint8_t bytes[4];
    if (!receive(bytes)) return std::nullopt;
    return platform::loadLe32(bytes);
}

std::optional<std::vector<std::uint8_t>> PeerConnection::receiveFramed() {
    std::vector<std::uint8_t> message(16);
    if (!receive(message)) return std::nullopt;
    const std::uint32_t length = platform::loadLe32(message.data() + 4);
    if (length < 16 || length > (1u << 20)) return std::nullopt;
    message.resize(length);
    if (!receive(std::span(message).subspan(16))) return std::nullopt;
    return message;
}

bool PeerConnection::waitForClose(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint8_t scratch[256];
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd poller{socket_, POLLIN, 0};
        if (::poll(&poller, 1, 50) <= 0) continue;
        const ssize_t received = ::recv(socket_, scratch, sizeof scratch, 0);
        if (received == 0 || (received < 0 && errno != EINTR && errno != EAGAIN)) return true;
    }
    return false;
}

bool PeerConnection::readable(std::chrono::milliseconds timeout) {
    pollfd poller{socket_, POLLIN, 0};
    return ::poll(&poller, 1, static_cast<int>(timeout.count())) > 0;
}

void PeerConnection::sendHalfAndClose(std::span<const std::uint8_t> bytes) {
    send(bytes.first(bytes.size() / 2));
    close();
}

void PeerConnection::close() { ::shutdown(socket_, SHUT_RDWR); }

FakePeer::FakePeer(Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(listener_);
        throw std::runtime_error("fake peer cannot listen on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
    acceptor_ = std::thread([this] { acceptLoop(); });
}

FakePeer::~FakePeer() {
    stopping_ = true;
    acceptor_.join();
    {
        std::lock_guard lock(connectionsMutex_);
        for (int socket : sockets_) ::shutdown(socket, SHUT_RDWR);
    }
    for (auto& handler : handlers_) handler.join();
    for (int socket : sockets_) ::close(socket);
    ::close(listener_);
}

bool FakePeer::waitForAccepted(int count, std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (accepted_.load() < count) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void FakePeer::acceptLoop() {
    while (!stopping_) {
        pollfd poller{listener_, POLLIN, 0};
        if (::poll(&poller, 1, 20) <= 0) continue;
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0) continue;
        setIoTimeouts(socket);
        const int index = accepted_.fetch_add(1);
        std::lock_guard lock(connectionsMutex_);
        sockets_.push_back(socket);
        handlers_.emplace_back([this, socket, index] {
            PeerConnection connection(socket);
            handler_(connection, index);
            connection.close();
        });
    }
}

}  // namespace ambro::test
