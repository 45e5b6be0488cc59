#include "net/StreamIo.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/TcpSocket.h"

namespace ambro::net {

namespace {

// What a send or receive call that moved nothing means.
IoResult endOf(long moved, bool receiving, const Deadline& deadline) {
    if (moved == 0 && receiving) return IoResult::Closed;
    if (moved < 0 && deadline.expired()) return IoResult::TimedOut;
    return IoResult::Failed;
}

}  // namespace

IoResult sendAll(SocketField& socket, const void* buffer, int n, Deadline deadline) {
    if (n < 0) return IoResult::Failed;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    int done = 0;
    while (done < n) {
        const long sent = platform::sendSome(socket.load(), bytes + done, n - done, deadline);
        if (sent <= 0) return endOf(sent, false, deadline);
        done += static_cast<int>(sent);
    }
    return IoResult::Done;
}

IoResult receiveExactly(SocketField& socket, void* buffer, int n, Deadline deadline) {
    if (n < 0) return IoResult::Failed;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    int done = 0;
    while (done < n) {
        const long received = platform::receiveSome(socket.load(), bytes + done, n - done, deadline);
        if (received <= 0) return endOf(received, true, deadline);
        done += static_cast<int>(received);
    }
    return IoResult::Done;
}

IoResult discardExactly(SocketField& socket, std::size_t n, Deadline deadline) {
    std::array<std::uint8_t, 4096> scratch;
    while (n > 0) {
        const int piece = static_cast<int>(std::min(n, scratch.size()));
        const IoResult result = receiveExactly(socket, scratch.data(), piece, deadline);
        if (result != IoResult::Done) return result;
        n -= piece;
    }
    return IoResult::Done;
}

}  // namespace ambro::net
