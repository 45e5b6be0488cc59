#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace ambro::platform {

// The 16-byte date and time of the servers' wires: eight little-endian u16
// fields in this order. Day of week is 0 for Sunday.
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

    // A date and time from its fields; the day of the week stays 0.
    static DateTime fromFields(int year, int month, int day, int hour = 0, int minute = 0,
                               int second = 0, int millisecond = 0);
    static DateTime fromBytes(const std::uint8_t* bytes);
    void toBytes(std::uint8_t* bytes) const;

    // Whether every field lies in its calendar range (years 1601 to 30827).
    bool valid() const;
    // 100-nanosecond steps since 1 January 1601; none for a date that is not
    // valid, so that garbage from a server never turns into a time.
    std::optional<std::int64_t> toFileTime() const;
    // The date and time of a count of 100-nanosecond steps since 1601 (the
    // day of the week filled in); none for a negative count.
    static std::optional<DateTime> fromFileTime(std::int64_t steps);

    // The local date and time of a moment, to the millisecond, and of now.
    static DateTime localAt(std::chrono::system_clock::time_point moment);
    static DateTime localNow() { return localAt(std::chrono::system_clock::now()); }

    friend bool operator==(const DateTime&, const DateTime&) = default;
};

// A 32-bit millisecond tick that wraps like the devices' tick count; the
// difference of two ticks is right across a wrap.
std::uint32_t tickCount();
inline std::uint32_t ticksBetween(std::uint32_t earlier, std::uint32_t later) {
    return later - earlier;
}

}  // namespace ambro::platform
