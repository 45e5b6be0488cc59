#pragma once

#include <string>

#include "platform/DateTime.h"

namespace ambro::live {

// The name of a live snapshot taken at `time`, without its extension:
// "20100315_093005". The file writer adds "_2", "_3", ... when a snapshot of
// the same second is already there, and ".jpg".
std::string snapshotStem(const platform::DateTime& time);

}  // namespace ambro::live
