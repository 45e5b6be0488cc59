#include "tools/cli/ServerOptions.h"

#include <cstdlib>
#include <fstream>

namespace ambro::cli {

namespace {

bool readPasswordFile(OptionCheck& check, const std::string& path, std::string& password) {
    std::ifstream file(path);
    if (!file) return check.fail("--password-file cannot be read: " + path);
    std::getline(file, password);
    if (!password.empty() && password.back() == '\r') password.pop_back();
    return true;
}

}  // namespace

std::optional<ServerOptions> readServerOptions(OptionCheck& check, std::size_t serverArgument,
                                               bool& argumentUsed, bool guestByDefault) {
    const CommandLine& line = check.line();
    ServerOptions options;
    argumentUsed = false;
    int port = 0;
    if (line.option("host")) {
        if (!check.text("host", true, options.host) || !check.number("port", 1, 65535, true, port)) {
            return std::nullopt;
        }
    } else if (serverArgument < line.arguments().size()) {
        const std::string& server = line.arguments()[serverArgument];
        const auto colon = server.rfind(':');
        if (colon == std::string::npos || colon == 0) {
            check.fail("the server must be given as HOST:PORT, not '" + server + "'");
            return std::nullopt;
        }
        options.host = server.substr(0, colon);
        const CommandLine portLine({"--port", server.substr(colon + 1)}, {});
        const auto number = portLine.number("port", 1, 65535);
        if (!number) {
            check.fail("the port of " + server + " must be a whole number from 1 to 65535");
            return std::nullopt;
        }
        port = static_cast<int>(*number);
        argumentUsed = true;
    } else {
        check.fail("a server is required: HOST:PORT, or --host and --port");
        return std::nullopt;
    }
    options.port = std::to_string(port);

    if (!check.text("user", !guestByDefault, options.user)) return std::nullopt;
    if (options.user.empty()) options.user = "Guest";
    std::string passwordFile;
    if (line.option("password")) {
        options.password = *line.option("password");
    } else if (check.text("password-file", false, passwordFile); !passwordFile.empty()) {
        if (!readPasswordFile(check, passwordFile, options.password)) return std::nullopt;
    } else if (const char* fromEnvironment = std::getenv("AMBRO_PASSWORD")) {
        options.password = fromEnvironment;
    }
    if (guestByDefault && options.user == "Guest") options.password.clear();
    return options;
}

}  // namespace ambro::cli
