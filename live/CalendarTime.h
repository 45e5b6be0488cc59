#pragma once

namespace ambro::live {

// The calendar fields of a date-time that texts and file names are made of.
struct CalendarTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

}  // namespace ambro::live
