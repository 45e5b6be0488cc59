#include "playback/SnapshotName.h"

#include <cstdio>

namespace ambro::playback {

std::string snapshotStem(const platform::DateTime& time) {
    char name[48];
    std::snprintf(name, sizeof name, "%04d%02d%02d%02d%02d%02d%03d", time.year, time.month,
                  time.day, time.hour, time.minute, time.second, time.millisecond);
    return name;
}

}  // namespace ambro::playback
