#pragma once

#include <chrono>

namespace ambro::platform {

// A point in time by which a network step must be done, or none at all for
// the streaming connections, which are ended by closing them instead.
class Deadline {
public:
    using Clock = std::chrono::steady_clock;

    static Deadline never() { return Deadline(); }
    static Deadline after(std::chrono::milliseconds duration) {
        return Deadline(Clock::now() + duration);
    }

    bool bounded() const { return bounded_; }
    bool expired() const { return bounded_ && Clock::now() >= end_; }
    // The wait left for poll(): -1 without a bound, never below 0.
    int pollMilliseconds() const;

private:
    Deadline() = default;
    explicit Deadline(Clock::time_point end) : bounded_(true), end_(end) {}

    bool bounded_ = false;
    Clock::time_point end_{};
};

// The one limit for each handshake step and each command reply: 10 s. The
// environment variable AMBRO_REPLY_TIMEOUT_MS (1 ms to 10 min) or
// setReplyTimeout change it, which the tests use to stay short.
inline constexpr std::chrono::milliseconds kDefaultReplyTimeout{10000};
std::chrono::milliseconds replyTimeout();
void setReplyTimeout(std::chrono::milliseconds timeout);

// A deadline one reply timeout from now.
inline Deadline replyDeadline() { return Deadline::after(replyTimeout()); }

}  // namespace ambro::platform
