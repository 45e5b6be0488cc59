#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "live/ControlConnection.h"
#include "net/TwoPortPassword.h"
#include "tests/support/FakeControlServer.h"

namespace ambro::live {
namespace {

using test::Bytes;
using test::FakeControlServer;

constexpr const char* kUser = "u";
constexpr const char* kPassword = "pw";

// One pass of the control thread's polls against a server that answers every
// request: what the pass asks and how it reports.
struct PollCase {
    const char* name;
    friend void PrintTo(const PollCase& c, std::ostream* out) { *out << c.name; }
    ControlPoll state;
    ControlPollResult result;
    std::vector<Bytes> requests;  // after the log-in
};

class ControlPolls : public testing::TestWithParam<PollCase> {};

TEST_P(ControlPolls, AskWhatThePagesShowAndSayWhetherItWasAnswered) {
    const PollCase& c = GetParam();
    FakeControlServer server;
    ControlConnection control(server.connection());
    ASSERT_TRUE(control.open(kPassword, kUser));
    EXPECT_EQ(control.poll(c.state), c.result);
    control.interrupt();
    const auto recorded = server.recorded();
    ASSERT_FALSE(recorded.empty());
    EXPECT_EQ(std::vector<Bytes>(recorded.begin() + 1, recorded.end()), c.requests);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ControlPolls,
    testing::Values(
        PollCase{"IoPagesAskTheSelectedModule", {-1, false, true, 2}, ControlPollResult::Answered,
                 {{100, 1, 0}}},
        PollCase{"IoPagesWithoutModuleAskNothing", {-1, false, true, 0}, ControlPollResult::Done,
                 {}},
        PollCase{"DomeKeptAliveThenModulesReleasedAndAsked",
                 {3, true, false, 2},
                 ControlPollResult::Answered,
                 {{53, 0, 0, 3}, {100, 1, 255}, {100, 0, 0}}},
        PollCase{"CameraWithoutDomeAsksNothing", {3, false, false, 2}, ControlPollResult::Done,
                 {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A refused request ends the polls, except the last poll of the camera
// pages, whose failure is only not shown.
struct RefusalCase {
    const char* name;
    friend void PrintTo(const RefusalCase& c, std::ostream* out) { *out << c.name; }
    ControlPoll state;
    std::vector<test::ControlExchange> afterLogin;
    ControlPollResult result;
};

class ControlRefusals : public testing::TestWithParam<RefusalCase> {};

TEST_P(ControlRefusals, EndThePollsOrNot) {
    const RefusalCase& c = GetParam();
    FakeControlServer server;
    const std::size_t loginLength =
        2 + net::codeTwoPortPassword(kPassword).size() + 1 + std::string(kUser).size() + 1;
    server.exchanges = {{loginLength, {1, 0, 0}}};
    server.exchanges.insert(server.exchanges.end(), c.afterLogin.begin(), c.afterLogin.end());
    ControlConnection control(server.connection());
    ASSERT_TRUE(control.open(kPassword, kUser));
    EXPECT_EQ(control.poll(c.state), c.result);
    control.interrupt();
}

INSTANTIATE_TEST_SUITE_P(
    Polls, ControlRefusals,
    testing::Values(RefusalCase{"ModuleOfTheIoPages", {-1, false, true, 2}, {{3, {0}}},
                                ControlPollResult::Failed},
                    RefusalCase{"DomeKeepAlive", {3, true, false, 0}, {{4, {0}}},
                                ControlPollResult::Failed},
                    RefusalCase{"LastPollOfTheCameraPages",
                                {3, true, false, 0},
                                {{4, {1, 1, 0, 0}}, {3, {0}}},
                                ControlPollResult::Done}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ambro::live
