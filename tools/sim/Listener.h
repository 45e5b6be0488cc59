#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace ambro::sim {

// A listening TCP socket on one IPv4 address.
class Listener {
public:
    // Port 0 takes any free port. None, with `error` set, when the address
    // cannot be used or the port is taken.
    static std::optional<Listener> open(const std::string& address, int port, std::string& error);

    Listener(Listener&& other) noexcept;
    Listener& operator=(Listener&& other) noexcept;
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;
    ~Listener();

    std::uint16_t port() const { return port_; }
    // An accepted socket, or -1 when none arrived within the time.
    int acceptWithin(std::chrono::milliseconds timeout) const;

private:
    Listener(int socket, std::uint16_t port) : socket_(socket), port_(port) {}

    int socket_ = -1;
    std::uint16_t port_ = 0;
};

}  // namespace ambro::sim
