#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ambro::playback {

// A recording day as the tree shows it: year, month and day texts.
struct RecordingDay {
    std::string year;
    std::string month;
    std::string day;

    // The day request's number, YYYYMMDD.
    std::uint32_t number() const;
    friend bool operator==(const RecordingDay&, const RecordingDay&) = default;
};

// The recording days of a camera grouped by year and month, in the order
// they first appear (servers list them in ascending order).
struct DayTree {
    struct Month {
        std::string text;
        std::vector<std::string> days;
    };
    struct Year {
        std::string text;
        std::vector<Month> months;
    };
    std::vector<Year> years;

    // Every day of the tree, in tree order.
    std::vector<RecordingDay> days() const;
};

// The day of a YYYYMMDD number whose decimal text has exactly 8 characters;
// none for any other.
std::optional<RecordingDay> recordingDayOf(std::uint32_t number);

// The tree of the days, up to the first 0; days whose decimal text is not
// exactly 8 characters long are skipped.
DayTree buildDayTree(const std::vector<std::uint32_t>& days);

}  // namespace ambro::playback
