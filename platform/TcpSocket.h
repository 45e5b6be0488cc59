#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <atomic>

#include "platform/Deadline.h"
#include "platform/SocketField.h"

namespace ambro::platform {

// Thin wrappers over BSD stream sockets. Addresses are IPv4 in network byte
// order, ports in host byte order.

inline constexpr std::uint32_t kNoneAddress = 0xFFFFFFFFu;

// A new blocking TCP socket, or kNoSocket.
int createTcpSocket();

// Dotted-text conversion only, like inet_addr: kNoneAddress when the text is
// not an address.
std::uint32_t dottedAddress(const std::string& host);

// Dotted text first, then a name lookup; the first IPv4 address of the answer.
std::optional<std::uint32_t> resolveIpv4(const std::string& host);

enum class ConnectResult { Connected, Refused, TimedOut, Abandoned };

// Connects within the deadline. The wait is made in short slices so that a
// set `abandon` flag ends it soon; the socket is blocking again afterwards.
ConnectResult connectIpv4(int socket, std::uint32_t address, std::uint16_t port,
                          Deadline deadline, const std::atomic<bool>* abandon = nullptr);

// Linger on with time 0 (a close resets at once), no Nagle delay, and a
// 4096-byte receive buffer, set in that order; false as soon as one fails.
bool setStreamSocketOptions(int socket);

// One send or receive call once the socket is ready: the count moved, 0 when
// the peer closed (receive) or nothing was sent, -1 on error or when the
// deadline passed first. Interrupted calls are repeated; sending on a broken
// connection never raises SIGPIPE. A shutdown from another thread ends the
// wait at once.
long sendSome(int socket, const void* bytes, std::size_t count,
              Deadline deadline = Deadline::never());
long receiveSome(int socket, void* bytes, std::size_t count,
                 Deadline deadline = Deadline::never());

// Waits until the socket has bytes to read, has ended, or the deadline has
// passed; true unless the deadline passed first.
bool waitReadable(int socket, Deadline deadline);

// Wakes every thread blocked on the socket; the descriptor stays valid.
void shutdownSocket(int socket);

// Closes the descriptor held in the field and leaves kNoSocket there.
void closeSocket(SocketField& field);

}  // namespace ambro::platform
