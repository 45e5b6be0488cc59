#pragma once

#include <cstddef>

#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::net {

using platform::Deadline;
using platform::SocketField;

// Sends all n bytes, repeating on the rest. Returns n, or -1 as soon as one
// send fails, sends nothing or the deadline has passed.
int sendAll(SocketField& socket, const void* buffer, int n, Deadline deadline = Deadline::never());

// Receives exactly n bytes, repeating on the rest. Returns n, or -1 as soon as
// one receive fails, the peer has closed or the deadline has passed; a short
// count is never returned. Without a deadline only a close or a shutdown of
// the socket ends a silent wait: that is the rule of the streaming readers.
int receiveExactly(SocketField& socket, void* buffer, int n,
                   Deadline deadline = Deadline::never());

// Reads and drops n bytes in fixed-size pieces, so a surplus never needs a
// buffer of its own size. False on any failed receive.
bool discardExactly(SocketField& socket, std::size_t n, Deadline deadline = Deadline::never());

}  // namespace ambro::net
