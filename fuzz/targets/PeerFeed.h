#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

namespace ambro::fuzz {

// The peer's side of one connection of a harness: a socket pair whose
// client end goes to the code under test, while a thread writes the peer's
// bytes into the other end, then ends the stream, and keeps what the client
// sends. The thread ends once the client closes its end, or when the feed is
// destroyed.
class PeerFeed {
public:
    explicit PeerFeed(std::vector<std::uint8_t> bytes);
    // The same on the peer's end of a connection made elsewhere (an
    // accepted TCP connection), which the feed then owns.
    PeerFeed(int peerEnd, std::vector<std::uint8_t> bytes);
    ~PeerFeed();

    PeerFeed(const PeerFeed&) = delete;
    PeerFeed& operator=(const PeerFeed&) = delete;

    // The end for the code under test; -1 when no pair could be made. The
    // code under test closes it.
    int clientEnd() const { return client_; }
    // Every byte the client has sent so far, what already waits in the
    // socket included.
    std::vector<std::uint8_t> received();

private:
    void start();
    void run();
    bool drainLocked();

    int client_ = -1;
    int peer_ = -1;
    std::vector<std::uint8_t> bytes_;
    std::atomic<bool> written_{false};
    std::atomic<bool> stopping_{false};
    std::mutex receivedMutex_;
    std::vector<std::uint8_t> received_;
    std::thread thread_;
};

}  // namespace ambro::fuzz
