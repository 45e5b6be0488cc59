#pragma once

#include <atomic>

namespace ambro::platform {

// A session keeps each socket descriptor in a field that other threads may
// read or replace; the stream operations take the field, not the value, so a
// socket closed by a stopping thread is seen on the next call.
using SocketField = std::atomic<int>;

inline constexpr int kNoSocket = -1;

}  // namespace ambro::platform
