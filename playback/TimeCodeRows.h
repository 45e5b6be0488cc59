#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ambro::playback {

// One row of the file list: the recording's start time as text, and whether
// it is a daylight-saving entry (the file request then says so).
struct TimeCodeRow {
    std::string text;
    bool daylight = false;
    friend bool operator==(const TimeCodeRow&, const TimeCodeRow&) = default;
};

// The rows of a day reply's time codes for the day of the month
// `dayOfMonth`. A code reads as a flag digit (2: daylight saving), the day
// and HHMMSS. The first run ends at the first 0; that 0 and every code after
// it are daylight-saving repeats, shown with "(Day Light Save)".
std::vector<TimeCodeRow> timeCodeRows(const std::vector<std::uint32_t>& codes, int dayOfMonth);

}  // namespace ambro::playback
