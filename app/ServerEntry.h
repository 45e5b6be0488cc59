#pragma once

#include <string>

namespace ambro::app {

// A server used before: the texts as the user typed them (UTF-8).
struct ServerEntry {
    std::string address;
    std::string port;
    std::string userName;
    std::string password;

    bool operator==(const ServerEntry&) const = default;
};

}  // namespace ambro::app
