#include "tools/sim/ClientLink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "platform/TcpSocket.h"

namespace ambro::sim {

namespace {

std::string peerOf(int socket) {
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0) return "?";
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
}

}  // namespace

ClientLink::ClientLink(int socket, const std::atomic<bool>& stopping, bool trickle)
    : socket_(socket), stopping_(stopping), trickle_(trickle), peer_(peerOf(socket)) {}

ClientLink::~ClientLink() {
    ::close(socket_);
}

bool ClientLink::sendSome(std::span<const std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stopping()) return false;
        const long sent = platform::sendSome(socket_, bytes.data() + done, bytes.size() - done,
                                             platform::Deadline::after(kSendTimeout));
        if (sent <= 0) return false;
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

bool ClientLink::sendAll(std::span<const std::uint8_t> bytes) {
    if (!trickle_) return sendSome(bytes);
    for (std::size_t done = 0; done < bytes.size(); done += kTrickleBytes) {
        const std::size_t count = std::min(kTrickleBytes, bytes.size() - done);
        if (!sendSome(bytes.subspan(done, count))) return false;
        std::this_thread::sleep_for(kTricklePause);
    }
    return true;
}

bool ClientLink::receiveExactly(std::span<std::uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stopping()) return false;
        const long received = platform::receiveSome(socket_, bytes.data() + done, bytes.size() - done);
        if (received <= 0) return false;
        done += static_cast<std::size_t>(received);
    }
    return true;
}

ClientLink::Readiness ClientLink::waitReadable(std::chrono::milliseconds timeout) {
    if (stopping()) return Readiness::Closed;
    pollfd waiting{socket_, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, static_cast<int>(timeout.count()));
    if (ready == 0) return Readiness::Quiet;
    if (ready < 0) return errno == EINTR ? Readiness::Quiet : Readiness::Closed;
    std::uint8_t probe;
    const ssize_t peeked = ::recv(socket_, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked > 0) return Readiness::Readable;
    if (peeked < 0 && (errno == EAGAIN || errno == EINTR)) return Readiness::Quiet;
    return Readiness::Closed;
}

void ClientLink::drainUntilClosed(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::uint8_t scratch[1024];
    while (std::chrono::steady_clock::now() < deadline) {
        const Readiness readiness = waitReadable(std::chrono::milliseconds(100));
        if (readiness == Readiness::Closed) return;
        if (readiness == Readiness::Readable && ::recv(socket_, scratch, sizeof scratch, 0) <= 0) {
            return;
        }
    }
}

void ClientLink::shutdown() {
    shut_ = true;
    platform::shutdownSocket(socket_);
}

}  // namespace ambro::sim
