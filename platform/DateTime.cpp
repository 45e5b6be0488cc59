#include "platform/DateTime.h"

#include <algorithm>
#include <chrono>
#include <ctime>

#include "platform/ByteOrder.h"

namespace ambro::platform {

namespace {

constexpr std::int64_t kStepsPerMillisecond = 10000;
constexpr std::int64_t kStepsPerDay = 864000000000;
// Days from 1 January 1601 to 1 January 1970.
constexpr std::int64_t kDaysFrom1601To1970 = 134774;

// Days since 1 January 1970 of a proleptic Gregorian date (negative before).
std::int64_t daysFromCivil(int year, unsigned month, unsigned day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void civilFromDays(std::int64_t days, int& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    year = static_cast<int>(yearOfEra + era * 400) + (month <= 2);
}

unsigned daysInMonth(int year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

DateTime DateTime::fromBytes(const std::uint8_t* bytes) {
    DateTime time;
    std::uint16_t* fields[] = {&time.year,   &time.month,  &time.dayOfWeek, &time.day,
                               &time.hour,   &time.minute, &time.second,    &time.millisecond};
    for (std::size_t i = 0; i < 8; ++i) *fields[i] = loadLe16(bytes + 2 * i);
    return time;
}

void DateTime::toBytes(std::uint8_t* bytes) const {
    const std::uint16_t fields[] = {year, month, dayOfWeek, day, hour, minute, second, millisecond};
    for (std::size_t i = 0; i < 8; ++i) storeLe16(bytes + 2 * i, fields[i]);
}

bool DateTime::valid() const {
    return year >= 1601 && year <= 30827 && month >= 1 && month <= 12 && day >= 1 &&
           day <= daysInMonth(year, month) && hour < 24 && minute < 60 && second < 60 &&
           millisecond < 1000;
}

std::optional<std::int64_t> DateTime::toFileTime() const {
    if (!valid()) return std::nullopt;
    const std::int64_t days = daysFromCivil(year, month, day) + kDaysFrom1601To1970;
    const std::int64_t milliseconds =
        ((static_cast<std::int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + millisecond;
    return days * kStepsPerDay + milliseconds * kStepsPerMillisecond;
}

std::optional<DateTime> DateTime::fromFileTime(std::int64_t steps) {
    if (steps < 0) return std::nullopt;
    const std::int64_t days = steps / kStepsPerDay;
    std::int64_t milliseconds = (steps % kStepsPerDay) / kStepsPerMillisecond;
    int civilYear = 0;
    unsigned civilMonth = 0;
    unsigned civilDay = 0;
    civilFromDays(days - kDaysFrom1601To1970, civilYear, civilMonth, civilDay);
    DateTime time;
    time.year = static_cast<std::uint16_t>(civilYear);
    time.month = static_cast<std::uint16_t>(civilMonth);
    time.day = static_cast<std::uint16_t>(civilDay);
    // 1 January 1601 was a Monday.
    time.dayOfWeek = static_cast<std::uint16_t>((days + 1) % 7);
    time.millisecond = static_cast<std::uint16_t>(milliseconds % 1000);
    milliseconds /= 1000;
    time.second = static_cast<std::uint16_t>(milliseconds % 60);
    milliseconds /= 60;
    time.minute = static_cast<std::uint16_t>(milliseconds % 60);
    time.hour = static_cast<std::uint16_t>(milliseconds / 60);
    return time;
}

DateTime DateTime::fromFields(int year, int month, int day, int hour, int minute, int second,
                             int millisecond) {
    DateTime time;
    time.year = static_cast<std::uint16_t>(year);
    time.month = static_cast<std::uint16_t>(month);
    time.day = static_cast<std::uint16_t>(day);
    time.hour = static_cast<std::uint16_t>(hour);
    time.minute = static_cast<std::uint16_t>(minute);
    time.second = static_cast<std::uint16_t>(second);
    time.millisecond = static_cast<std::uint16_t>(millisecond);
    return time;
}

DateTime DateTime::localAt(std::chrono::system_clock::time_point moment) {
    using std::chrono::system_clock;
    const std::time_t seconds = system_clock::to_time_t(moment);
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  moment - system_clock::from_time_t(seconds))
                                  .count();
    std::tm local{};
    ::localtime_r(&seconds, &local);
    // A leap second reads as the second before it: the wires know no 60.
    DateTime time = fromFields(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                               local.tm_hour, local.tm_min, std::min(local.tm_sec, 59),
                               static_cast<int>(std::clamp<long long>(milliseconds, 0, 999)));
    time.dayOfWeek = static_cast<std::uint16_t>(local.tm_wday);
    return time;
}

std::uint32_t tickCount() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace ambro::platform
