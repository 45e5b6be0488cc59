#include "live/SnapshotName.h"

#include <cstdio>

namespace ambro::live {

std::string snapshotFileName(const CalendarTime& time, int copy) {
    char stem[64];
    std::snprintf(stem, sizeof stem, "%.4d%.2d%.2d_%.2d%.2d%.2d", time.year, time.month, time.day,
                  time.hour, time.minute, time.second);
    std::string name = stem;
    if (copy > 1) name += "_" + std::to_string(copy);
    return name + ".jpg";
}

}  // namespace ambro::live
