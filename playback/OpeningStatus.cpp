#include "playback/OpeningStatus.h"

namespace ambro::playback {

std::string_view openingFailureMessage(int status) {
    switch (status) {
        case opening::kNoSocket:
        case opening::kUnknownHost: return "Network Error";
        case opening::kConnectFailed: return "Connect Failed";
        case opening::kWorkPathFailed: return "Send WorkPath Error";
        case opening::kServerTooOld: return "Server Version Error";
        case opening::kLoginFailed: return "Login Failed";
        case opening::kDatabaseFailed: return "Open DB Failed";
        default: return {};
    }
}

}  // namespace ambro::playback
