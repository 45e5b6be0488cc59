#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <thread>
#include <vector>

namespace ambro::test {

// One accepted connection on the fake side. Every receive and send gives up
// after the peer's time-out, so a test never hangs on a client that stops.
class PeerConnection {
public:
    explicit PeerConnection(int socket) : socket_(socket) {}

    bool send(std::span<const std::uint8_t> bytes);
    bool sendLe32(std::uint32_t value);
    bool receive(std::span<std::uint8_t> bytes);
    std::optional<std::uint32_t> receiveLe32();
    // One framed message (16-byte head and body); none when the connection
    // ends or the length is outside 16 to 1 MiB.
    std::optional<std::vector<std::uint8_t>> receiveFramed();
    // True when bytes (or the end of the connection) wait to be read.
    bool readable(std::chrono::milliseconds timeout);
    // True when the client closed (or reset) the connection within the time.
    bool waitForClose(std::chrono::milliseconds timeout);
    // Sends the first half of `bytes` and closes at once.
    void sendHalfAndClose(std::span<const std::uint8_t> bytes);
    void close();

private:
    int socket_;
};

// A listener on 127.0.0.1 with a free port; each accepted connection is served
// by `handler` on its own thread, given its index in accept order. All threads
// are joined when the peer is destroyed.
class FakePeer {
public:
    using Handler = std::function<void(PeerConnection& connection, int index)>;

    explicit FakePeer(Handler handler);
    ~FakePeer();

    FakePeer(const FakePeer&) = delete;
    FakePeer& operator=(const FakePeer&) = delete;

    std::uint16_t port() const { return port_; }
    int acceptedCount() const { return accepted_.load(); }
    // Waits (bounded) until `count` connections have been accepted.
    bool waitForAccepted(int count, std::chrono::milliseconds timeout) const;

    static constexpr std::chrono::seconds kIoTimeout{10};

private:
    void acceptLoop();

    Handler handler_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> accepted_{0};
    std::mutex connectionsMutex_;
    std::vector<int> sockets_;
    std::vector<std::thread> handlers_;
    std::thread acceptor_;
};

}  // namespace ambro::test
