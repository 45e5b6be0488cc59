#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Deadline.h"

namespace ambro::cli::hostile {

using namespace std::chrono_literals;

// The reply timeout the hostile cases run with: every silence ends after it.
inline constexpr std::chrono::milliseconds kReplyTimeout = 300ms;
// Every case ends well within this, whatever the peer does: a silent step
// costs one reply timeout, the log-in wait at most twenty. It only tells a
// hang from an end; it is no measure of speed.
inline constexpr std::chrono::milliseconds kBound = 8s;

// What a command said and how long it took.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
    std::chrono::milliseconds elapsed{0};
};

inline Outcome runCommand(const std::function<int(std::ostream&, std::ostream&)>& command) {
    std::ostringstream out;
    std::ostringstream err;
    const auto start = std::chrono::steady_clock::now();
    Outcome outcome;
    outcome.status = command(out, err);
    outcome.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
}

// "timed out after 300 ms", as the commands word it.
inline std::string timedOut(std::chrono::milliseconds timeout = kReplyTimeout) {
    return "timed out after " + std::to_string(timeout.count()) + " ms";
}

// Runs each case with the reply timeout short, and puts it back after.
class HostilePeerTest : public testing::Test {
protected:
    void SetUp() override {
        saved_ = platform::replyTimeout();
        platform::setReplyTimeout(kReplyTimeout);
    }
    void TearDown() override { platform::setReplyTimeout(saved_); }

    static void expectOutcome(const Outcome& outcome, int status, const std::string& err) {
        EXPECT_EQ(outcome.status, status);
        EXPECT_EQ(outcome.err, err);
        EXPECT_LT(outcome.elapsed, kBound) << "the command did not end in time";
    }

private:
    std::chrono::milliseconds saved_{0};
};

}  // namespace ambro::cli::hostile
