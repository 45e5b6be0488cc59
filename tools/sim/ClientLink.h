#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <span>
#include <string>

namespace ambro::sim {

// The server's end of one accepted connection. Receives block until the
// bytes arrive, the client goes or the server stops (shutdown() from another
// thread wakes them); a send gives up after kSendTimeout when the client stops
// reading. A trickling link sends kTrickleBytes at a time with a pause between.
class ClientLink {
public:
    static constexpr std::chrono::seconds kSendTimeout{30};
    static constexpr std::size_t kTrickleBytes = 64;
    static constexpr std::chrono::milliseconds kTricklePause{20};

    enum class Readiness { Readable, Quiet, Closed };

    ClientLink(int socket, const std::atomic<bool>& stopping, bool trickle);
    ~ClientLink();
    ClientLink(const ClientLink&) = delete;
    ClientLink& operator=(const ClientLink&) = delete;

    bool sendAll(std::span<const std::uint8_t> bytes);
    bool receiveExactly(std::span<std::uint8_t> bytes);
    // Whether bytes (or the client's close) wait to be read.
    Readiness waitReadable(std::chrono::milliseconds timeout);
    // Reads and drops whatever arrives until the client closes or the server
    // stops, at most for `limit`.
    void drainUntilClosed(std::chrono::milliseconds limit);

    // Makes blocked and later calls fail; safe from any thread.
    void shutdown();
    bool stopping() const { return stopping_.load() || shut_.load(); }
    const std::string& peer() const { return peer_; }

private:
    bool sendSome(std::span<const std::uint8_t> bytes);

    int socket_;
    const std::atomic<bool>& stopping_;
    std::atomic<bool> shut_{false};
    bool trickle_;
    std::string peer_;
};

}  // namespace ambro::sim
