#include <gtest/gtest.h>

#include "live/SnapshotName.h"

namespace ambro::live {
namespace {

TEST(SnapshotName, DateAndTimeWithACopyNumberWhenTaken) {
    struct Case {
        CalendarTime time;
        int copy;
        const char* name;
    };
    for (const Case& c : {Case{{2010, 3, 15, 9, 30, 5}, 1, "20100315_093005.jpg"},
                          Case{{2010, 3, 15, 9, 30, 5}, 2, "20100315_093005_2.jpg"},
                          Case{{2010, 3, 15, 9, 30, 5}, 11, "20100315_093005_11.jpg"},
                          Case{{1999, 12, 31, 23, 59, 59}, 0, "19991231_235959.jpg"},
                          Case{{812, 1, 2, 3, 4, 5}, 1, "08120102_030405.jpg"}}) {
        EXPECT_EQ(snapshotFileName(c.time, c.copy), c.name);
    }
}

}  // namespace
}  // namespace ambro::live
