#include <gtest/gtest.h>

#include <array>

#include "platform/DateTime.h"

namespace ambro::platform {
namespace {

DateTime at(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour = 0,
            std::uint16_t minute = 0, std::uint16_t second = 0, std::uint16_t millisecond = 0) {
    DateTime time;
    time.year = year;
    time.month = month;
    time.day = day;
    time.hour = hour;
    time.minute = minute;
    time.second = second;
    time.millisecond = millisecond;
    return time;
}

TEST(DateTime, FileTimesOfKnownDates) {
    struct Case {
        DateTime time;
        std::int64_t steps;
        std::uint16_t dayOfWeek;
    };
    const Case cases[] = {
        {at(1601, 1, 1), 0, 1},
        {at(1970, 1, 1), 116444736000000000, 4},
        {at(2000, 2, 29, 23, 59, 59, 999), 125963423999990000, 2},
        {at(2024, 1, 5, 8, 30, 0, 250), 133489170002500000, 5},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.time.toFileTime(), c.steps) << c.time.year;
        auto back = DateTime::fromFileTime(c.steps);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(back->dayOfWeek, c.dayOfWeek) << c.time.year;
        back->dayOfWeek = 0;
        EXPECT_EQ(*back, c.time);
    }
}

TEST(DateTime, GarbageIsNoTime) {
    for (const DateTime& bad : {at(0, 1, 1), at(2024, 13, 1), at(2023, 2, 29), at(2024, 4, 31),
                                at(2024, 1, 1, 24), at(2024, 1, 1, 0, 60), at(2024, 1, 0),
                                at(2024, 1, 1, 0, 0, 0, 1000)}) {
        EXPECT_FALSE(bad.toFileTime().has_value()) << bad.year << "-" << bad.month << "-" << bad.day;
    }
    EXPECT_FALSE(DateTime::fromFileTime(-1).has_value());
}

TEST(DateTime, WireBytesAreEightLittleEndianFields) {
    const std::array<std::uint8_t, 16> bytes = {0xE8, 0x07, 1, 0, 5, 0, 5, 0,
                                                8,    0,    30, 0, 0, 0, 250, 0};
    const DateTime time = DateTime::fromBytes(bytes.data());
    DateTime expected = at(2024, 1, 5, 8, 30, 0, 250);
    expected.dayOfWeek = 5;
    EXPECT_EQ(time, expected);
    std::array<std::uint8_t, 16> written{};
    time.toBytes(written.data());
    EXPECT_EQ(written, bytes);
}

TEST(DateTime, TickDifferencesSurviveTheWrap) {
    EXPECT_EQ(ticksBetween(0xFFFFFFF0u, 0x10u), 0x20u);
    EXPECT_EQ(ticksBetween(100, 133), 33u);
}

}  // namespace
}  // namespace ambro::platform
