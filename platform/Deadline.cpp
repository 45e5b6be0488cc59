#include "platform/Deadline.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>

namespace ambro::platform {

namespace {

constexpr long kLongestTimeout = 600000;

long initialTimeout() {
    if (const char* text = std::getenv("AMBRO_REPLY_TIMEOUT_MS")) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && value >= 1 && value <= kLongestTimeout) return value;
    }
    return kDefaultReplyTimeout.count();
}

std::atomic<long>& timeoutMilliseconds() {
    static std::atomic<long> milliseconds{initialTimeout()};
    return milliseconds;
}

}  // namespace

int Deadline::pollMilliseconds() const {
    if (!bounded_) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

std::chrono::milliseconds replyTimeout() {
    return std::chrono::milliseconds(timeoutMilliseconds().load());
}

void setReplyTimeout(std::chrono::milliseconds timeout) {
    timeoutMilliseconds() = std::clamp<long>(static_cast<long>(timeout.count()), 1, kLongestTimeout);
}

}  // namespace ambro::platform
