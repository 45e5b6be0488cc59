#include <gtest/gtest.h>

#include "app/NetworkBringUp.h"

namespace ambro::app {
namespace {

struct Counts {
    int probes = 0;
    int waits = 0;
};

NetworkBringUp counting(Counts& counts, int upAtProbe) {
    return NetworkBringUp([&counts, upAtProbe] { return ++counts.probes == upAtProbe; },
                          [&counts](std::chrono::milliseconds time) {
                              EXPECT_EQ(time, NetworkBringUp::kRoundWait);
                              ++counts.waits;
                          });
}

TEST(NetworkBringUp, UpAtOnceNeedsNoWait) {
    Counts counts;
    EXPECT_TRUE(counting(counts, 1).bringUp());
    EXPECT_EQ(counts.waits, 0);
}

TEST(NetworkBringUp, SecondAttemptCanSucceed) {
    Counts counts;
    EXPECT_TRUE(counting(counts, 9).bringUp());  // 7 probes in the first attempt
    EXPECT_EQ(counts.waits, 7);
}

TEST(NetworkBringUp, GivesUpAfterTwoAttemptsOfSixRounds) {
    Counts counts;
    EXPECT_FALSE(counting(counts, -1).bringUp());
    EXPECT_EQ(counts.waits, 12);
    EXPECT_EQ(counts.probes, 14);
}

}  // namespace
}  // namespace ambro::app
