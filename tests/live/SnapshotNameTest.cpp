#include <gtest/gtest.h>

#include "live/SnapshotName.h"

namespace ambro::live {
namespace {

platform::DateTime at(int year, int month, int day, int hour, int minute, int second) {
    return platform::DateTime::fromFields(year, month, day, hour, minute, second);
}

TEST(SnapshotName, DateAndTimeOfTheSnapshot) {
    struct Case {
        platform::DateTime time;
        const char* stem;
    };
    for (const Case& c : {Case{at(2010, 3, 15, 9, 30, 5), "20100315_093005"},
                          Case{at(1999, 12, 31, 23, 59, 59), "19991231_235959"},
                          Case{at(812, 1, 2, 3, 4, 5), "08120102_030405"}}) {
        EXPECT_EQ(snapshotStem(c.time), c.stem);
    }
}

}  // namespace
}  // namespace ambro::live
