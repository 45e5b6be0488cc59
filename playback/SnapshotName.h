#pragma once

#include <functional>
#include <string>

#include "platform/DateTime.h"

namespace ambro::playback {

// The file name of a playback snapshot taken at `time`, without the
// extension: year, month, day, hour, minute, second and milliseconds as
// digits.
std::string snapshotStem(const platform::DateTime& time);

// The local time that names snapshots; replaceable in tests.
using SnapshotClock = std::function<platform::DateTime()>;

}  // namespace ambro::playback
