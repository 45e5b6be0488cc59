#pragma once

#include <optional>
#include <string>

#include "tools/cli/OptionCheck.h"

namespace ambro::cli {

// Where a command connects and as whom. The server is given as the first
// argument after the command, HOST:PORT, or with --host and --port. The
// password comes from --password, from the first line of --password-file,
// or from the environment variable AMBRO_PASSWORD, in that order; it is
// never printed.
struct ServerOptions {
    std::string host;
    std::string port;
    std::string user;
    std::string password;

    std::string server() const { return host + ":" + port; }
};

// The option names the server takes, for a command's list of known ones.
inline const char* const kServerOptionNames[] = {"host", "port", "user", "password",
                                                 "password-file"};

// Reads the server options; `serverArgument` is the position of the
// argument that may hold HOST:PORT, and it is set to whether it did. With
// `guestByDefault` a missing user is "Guest", whose password is always
// empty; otherwise --user is required.
std::optional<ServerOptions> readServerOptions(OptionCheck& check, std::size_t serverArgument,
                                               bool& argumentUsed, bool guestByDefault);

}  // namespace ambro::cli
