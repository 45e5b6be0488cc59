#include "tools/sim/DateTime.h"

#include <cstdio>
#include <ctime>

#include "platform/ByteOrder.h"

namespace ambro::sim {

using platform::loadLe16;
using platform::storeLe16;

DateTime DateTime::fromTimePoint(TimePoint time) {
    const std::time_t seconds = Clock::to_time_t(time);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto sinceSecond = time - Clock::from_time_t(seconds);
    auto millisecond = std::chrono::duration_cast<std::chrono::milliseconds>(sinceSecond).count();
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

DateTime DateTime::fromBytes(const std::uint8_t* bytes) {
    DateTime result;
    std::uint16_t* fields[] = {&result.year, &result.month, &result.dayOfWeek, &result.day,
                               &result.hour, &result.minute, &result.second, &result.millisecond};
    for (int i = 0; i < 8; ++i) *fields[i] = loadLe16(bytes + 2 * i);
    return result;
}

TimePoint DateTime::toTimePoint() const {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&local);
    return Clock::from_time_t(seconds) + std::chrono::milliseconds(millisecond);
}

void DateTime::store(std::uint8_t* bytes) const {
    const std::uint16_t fields[] = {year, month, dayOfWeek, day, hour, minute, second, millisecond};
    for (int i = 0; i < 8; ++i) storeLe16(bytes + 2 * i, fields[i]);
}

std::string DateTime::text() const {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return buffer;
}

TimePoint startOfDay(TimePoint time) {
    DateTime day = DateTime::fromTimePoint(time);
    day.hour = day.minute = day.second = day.millisecond = 0;
    return day.toTimePoint();
}

}  // namespace ambro::sim
