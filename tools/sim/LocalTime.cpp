#include "tools/sim/LocalTime.h"

#include <ctime>

namespace ambro::sim {

TimePoint timePointOf(const DateTime& local) {
    std::tm fields{};
    fields.tm_year = local.year - 1900;
    fields.tm_mon = local.month - 1;
    fields.tm_mday = local.day;
    fields.tm_hour = local.hour;
    fields.tm_min = local.minute;
    fields.tm_sec = local.second;
    fields.tm_isdst = -1;
    return Clock::from_time_t(std::mktime(&fields)) + std::chrono::milliseconds(local.millisecond);
}

TimePoint startOfDay(TimePoint time) {
    DateTime day = localDateTime(time);
    day.hour = day.minute = day.second = day.millisecond = 0;
    return timePointOf(day);
}

}  // namespace ambro::sim
