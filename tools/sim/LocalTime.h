#pragma once

#include <chrono>
#include <cstdint>

#include "platform/DateTime.h"

namespace ambro::sim {

using Clock = std::chrono::system_clock;
using TimePoint = Clock::time_point;
using platform::DateTime;

// The date-time block of a moment in the simulator's local time, and back.
inline DateTime localDateTime(TimePoint time) { return DateTime::localAt(time); }
// Fields out of range are normalised as mktime does.
TimePoint timePointOf(const DateTime& local);

// YYYYMMDD as a number, the playback wire's way to name a day.
inline std::uint32_t dayNumberOf(const DateTime& date) {
    return date.year * 10000u + date.month * 100u + date.day;
}

// Local midnight of the day that holds `time`.
TimePoint startOfDay(TimePoint time);

}  // namespace ambro::sim
