#pragma once

#include <string_view>

namespace ambro::playback {

// The statuses of a session's opening.
namespace opening {
inline constexpr int kConnecting = 0;
inline constexpr int kOpen = 1;
inline constexpr int kNoSocket = 4;
inline constexpr int kUnknownHost = 5;
inline constexpr int kConnectFailed = 6;
inline constexpr int kWorkPathFailed = 7;
inline constexpr int kServerTooOld = 8;
inline constexpr int kLoginFailed = 9;
inline constexpr int kDatabaseFailed = 10;
}  // namespace opening

// The message the user sees for a failed opening; empty for other statuses.
std::string_view openingFailureMessage(int status);

// Shown when the session ends while it is in use.
inline constexpr std::string_view kDisconnectedMessage = "Disconnected";

}  // namespace ambro::playback
