#include "live/SnapshotName.h"

#include <cstdio>

namespace ambro::live {

std::string snapshotStem(const platform::DateTime& time) {
    char stem[64];
    std::snprintf(stem, sizeof stem, "%.4d%.2d%.2d_%.2d%.2d%.2d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    return stem;
}

}  // namespace ambro::live
