#include "fuzz/targets/PeerFeed.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace ambro::fuzz {

namespace {

constexpr int kPollSliceMs = 20;

}  // namespace

PeerFeed::PeerFeed(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
    client_ = ends[0];
    peer_ = ends[1];
    start();
}

PeerFeed::PeerFeed(int peerEnd, std::vector<std::uint8_t> bytes)
    : peer_(peerEnd), bytes_(std::move(bytes)) {
    if (peer_ >= 0) start();
}

void PeerFeed::start() {
    thread_ = std::thread([this] { run(); });
}

PeerFeed::~PeerFeed() {
    stopping_ = true;
    if (peer_ >= 0) ::shutdown(peer_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (peer_ >= 0) ::close(peer_);
}

// Reads what waits without blocking; false once the client has gone.
bool PeerFeed::drainLocked() {
    std::uint8_t scratch[4096];
    for (;;) {
        const ssize_t got = ::recv(peer_, scratch, sizeof scratch, MSG_DONTWAIT);
        if (got > 0) {
            received_.insert(received_.end(), scratch, scratch + got);
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return true;
        return false;
    }
}

std::vector<std::uint8_t> PeerFeed::received() {
    std::lock_guard lock(receivedMutex_);
    if (peer_ >= 0) drainLocked();
    return received_;
}

void PeerFeed::run() {
    std::size_t sent = 0;
    if (bytes_.empty()) {
        ::shutdown(peer_, SHUT_WR);
        written_ = true;
    }
    while (!stopping_) {
        pollfd poller{peer_, static_cast<short>(POLLIN | (written_ ? 0 : POLLOUT)), 0};
        if (::poll(&poller, 1, kPollSliceMs) < 0 && errno != EINTR) break;
        if (poller.revents & (POLLIN | POLLHUP | POLLERR)) {
            std::lock_guard lock(receivedMutex_);
            if (!drainLocked()) break;
        }
        if (!written_ && (poller.revents & POLLOUT)) {
            const ssize_t moved = ::send(peer_, bytes_.data() + sent, bytes_.size() - sent,
                                         MSG_DONTWAIT | MSG_NOSIGNAL);
            if (moved > 0) sent += static_cast<std::size_t>(moved);
            if ((moved < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) ||
                sent == bytes_.size()) {
                ::shutdown(peer_, SHUT_WR);
                written_ = true;
            }
        }
    }
    written_ = true;
}

}  // namespace ambro::fuzz
