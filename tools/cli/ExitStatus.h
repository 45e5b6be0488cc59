#pragma once

namespace ambro::cli {

// What every ambro-cli command returns.
enum ExitStatus : int {
    kSuccess = 0,
    kUsageError = 1,
    kInputOrConnectionFailure = 2,  // an input cannot be read; a connection or log-in failed
    kOperationFailed = 3,
    kCannotWriteFile = 4,
};

}  // namespace ambro::cli
