#include "net/StreamIo.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/TcpSocket.h"

namespace ambro::net {

int sendAll(SocketField& socket, const void* buffer, int n, Deadline deadline) {
    if (n < 0) return -1;
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    int done = 0;
    while (done < n) {
        const long sent = platform::sendSome(socket.load(), bytes + done, n - done, deadline);
        if (sent <= 0) return -1;
        done += static_cast<int>(sent);
    }
    return n;
}

int receiveExactly(SocketField& socket, void* buffer, int n, Deadline deadline) {
    if (n < 0) return -1;
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    int done = 0;
    while (done < n) {
        const long received = platform::receiveSome(socket.load(), bytes + done, n - done, deadline);
        if (received <= 0) return -1;
        done += static_cast<int>(received);
    }
    return n;
}

bool discardExactly(SocketField& socket, std::size_t n, Deadline deadline) {
    std::array<std::uint8_t, 4096> scratch;
    while (n > 0) {
        const int piece = static_cast<int>(std::min(n, scratch.size()));
        if (receiveExactly(socket, scratch.data(), piece, deadline) != piece) return false;
        n -= piece;
    }
    return true;
}

}  // namespace ambro::net
