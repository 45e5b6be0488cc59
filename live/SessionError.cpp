#include "live/SessionError.h"

namespace ambro::live {

const char* sessionErrorText(SessionError error) {
    static constexpr const char* kTexts[] = {
        "Memory not enough",
        "Host or Ip Error, Cannot Connect",
        "Network Initialized Error",
        "Network Open Error",
        "Send Key Error",
        "Get Key Error",
        "Send Password Error",
        "Name Or Password Error, Re-Connect Again",
        "Ui Send Command Error",
        "Send Video Request Cmd Err",
        "Get Video Request Response Error",
        "Send Video Request Data Error",
        "Get Request Data Command Error",
        "Send Video Request End Command Error",
        "Get Video End Command Response Error",
        "Send Image Request Error",
        "Get Image Request Response Error",
        "Send Image Request Data Command Error",
        "Get Image Request Data Error",
        "Send Image End Command Error",
        "Get Image End Response Error",
        "Server Reject Ambro Client Type",
        "Get Io Input Status Error",
    };
    return kTexts[static_cast<int>(error)];
}

bool isLoginError(SessionError error) {
    return error >= SessionError::MemoryNotEnough && error <= SessionError::NameOrPasswordError;
}

bool isTransferError(SessionError error) {
    return error >= SessionError::UiSendCommandError && error <= SessionError::GetImageEndResponseError;
}

DisconnectMessage disconnectMessage(SessionError error) {
    DisconnectMessage message;
    if (isTransferError(error)) message.detail = "Disconnected";
    if (isLoginError(error)) message.detail = sessionErrorText(error);
    return message;
}

}  // namespace ambro::live
