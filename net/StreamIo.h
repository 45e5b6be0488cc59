#pragma once

#include <cstddef>

#include "platform/SocketField.h"

namespace ambro::net {

using platform::SocketField;

// Sends all n bytes, repeating on the rest. Returns n, or -1 as soon as one
// send fails or sends nothing.
int sendAll(SocketField& socket, const void* buffer, int n);

// Receives exactly n bytes, repeating on the rest. Returns n, or -1 as soon as
// one receive fails or the peer has closed; a short count is never returned.
int receiveExactly(SocketField& socket, void* buffer, int n);

// Reads and drops n bytes in fixed-size pieces, so a surplus never needs a
// buffer of its own size. False on any failed receive.
bool discardExactly(SocketField& socket, std::size_t n);

}  // namespace ambro::net
