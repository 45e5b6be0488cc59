#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>


namespace ambro::net {

// Where a live session connects: the host (name or dotted address) and the
// port, both as 8-bit text the way the user typed them.
struct SessionEndpoint {
    std::string host;
    std::string port;
};

// How far the last connection attempt of a session came.
enum class ConnectionState : int {
    Connecting = 0,    // also the end state of a success or of a later failure
    ConnectFailed = 2, // no route, no lookup, or the connect was refused
    LoginRefused = 3,
    NoSocket = 4,
};

// Texts typed by the user become wire text by keeping the low byte of each
// character.
std::string lowByteText(std::u16string_view text);

// The decimal port text, read like atoi (leading digits); no value when there
// are no digits or the number is not a TCP port.
std::optional<std::uint16_t> parsePortText(std::string_view text);

}  // namespace ambro::net
