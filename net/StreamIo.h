#pragma once

#include <cstddef>

#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::net {

using platform::Deadline;
using platform::SocketField;

// How a whole send or receive ended. Bytes already moved before a failure
// are not reported: the stream is of no further use then.
enum class [[nodiscard]] IoResult{
    Done,      // every byte moved
    Closed,    // a receive found the peer closed (or the socket shut down)
    TimedOut,  // the deadline passed first
    Failed,    // a call failed, a send moved nothing, or the count was negative
};

// Sends all n bytes, repeating on the rest; fails as soon as one send fails
// or sends nothing.
IoResult sendAll(SocketField& socket, const void* buffer, int n,
                 Deadline deadline = Deadline::never());

// Receives exactly n bytes, repeating on the rest; a short count is never
// taken for success. Without a deadline only a close or a shutdown of the
// socket ends a silent wait: that is the rule of the streaming readers.
IoResult receiveExactly(SocketField& socket, void* buffer, int n,
                        Deadline deadline = Deadline::never());

// Reads and drops n bytes in fixed-size pieces, so a surplus never needs a
// buffer of its own size.
IoResult discardExactly(SocketField& socket, std::size_t n, Deadline deadline = Deadline::never());

}  // namespace ambro::net
