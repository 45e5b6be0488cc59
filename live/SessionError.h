#pragma once

#include <string>

namespace ambro::live {

// Why an older-generation session ended, in the order of the system's own
// message table: the log-in group, the transfer group, then the last two.
enum class SessionError {
    MemoryNotEnough,
    HostOrIpError,
    NetworkInitializedError,
    NetworkOpenError,
    SendKeyError,
    GetKeyError,
    SendPasswordError,
    NameOrPasswordError,
    UiSendCommandError,
    SendVideoRequestCommandError,
    GetVideoRequestResponseError,
    SendVideoRequestDataError,
    GetRequestDataCommandError,
    SendVideoRequestEndCommandError,
    GetVideoEndCommandResponseError,
    SendImageRequestError,
    GetImageRequestResponseError,
    SendImageRequestDataCommandError,
    GetImageRequestDataError,
    SendImageEndCommandError,
    GetImageEndResponseError,
    ServerRejectClientType,
    GetIoInputStatusError,
};

// The system's text of the code ("Send Key Error", ...).
const char* sessionErrorText(SessionError error);

bool isLoginError(SessionError error);
bool isTransferError(SessionError error);

// What the user is told when a running session ends: "Disconnect", then
// "Disconnected" for a transfer error or the log-in error's own text; other
// codes add nothing.
struct DisconnectMessage {
    std::string headline = "Disconnect";
    std::string detail;

    // Both parts on two lines, as a message box shows them.
    std::string text() const { return detail.empty() ? headline : headline + "\n" + detail; }
};
DisconnectMessage disconnectMessage(SessionError error);

}  // namespace ambro::live
