#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace ambro::sim {

using Clock = std::chrono::system_clock;
using TimePoint = Clock::time_point;

// The 16-byte date-time block of the wires: eight little-endian 16-bit
// fields, year, month, day of week, day, hour, minute, second, millisecond.
struct DateTime {
    static constexpr std::size_t kSize = 16;

    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t dayOfWeek = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t millisecond = 0;

    // Local time of the simulator's machine.
    static DateTime fromTimePoint(TimePoint time);
    static DateTime fromBytes(const std::uint8_t* bytes);
    // Local time; fields out of range are normalised as mktime does.
    TimePoint toTimePoint() const;
    void store(std::uint8_t* bytes) const;

    // YYYYMMDD as a number, the playback wire's way to name a day.
    std::uint32_t dayNumber() const { return year * 10000u + month * 100u + day; }
    // "2024-01-05 08:30:00"
    std::string text() const;
};

// Local midnight of the day that holds `time`.
TimePoint startOfDay(TimePoint time);

}  // namespace ambro::sim
