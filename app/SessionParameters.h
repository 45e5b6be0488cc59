#pragma once

#include <optional>
#include <string>

namespace ambro::app {

// What the connect dialog hands to a session window (UTF-8 texts).
struct SessionParameters {
    std::string address;
    std::string port;
    std::string userName;
    std::string password;
    std::string snapshotFolder = "SnapShot";
    // Playback only: 0 "DVR", 1 "Video Server".
    std::optional<int> databaseType;
};

}  // namespace ambro::app
