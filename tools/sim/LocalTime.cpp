#include "tools/sim/LocalTime.h"

#include <ctime>

namespace ambro::sim {

DateTime localDateTime(TimePoint time) {
    const std::time_t seconds = Clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    auto millisecond =
        std::chrono::duration_cast<std::chrono::milliseconds>(time - Clock::from_time_t(seconds)).count();
    if (millisecond < 0) millisecond = 0;
    DateTime result;
    result.year = static_cast<std::uint16_t>(local.tm_year + 1900);
    result.month = static_cast<std::uint16_t>(local.tm_mon + 1);
    result.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    result.day = static_cast<std::uint16_t>(local.tm_mday);
    result.hour = static_cast<std::uint16_t>(local.tm_hour);
    result.minute = static_cast<std::uint16_t>(local.tm_min);
    result.second = static_cast<std::uint16_t>(local.tm_sec);
    result.millisecond = static_cast<std::uint16_t>(millisecond % 1000);
    return result;
}

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
