// Clients that go away in the middle of anything never stop a server.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "net/LiveConnection.h"
#include "tests/sim/OlderClient.h"
#include "tests/sim/PlaybackClient.h"
#include "tests/sim/SimHarness.h"

namespace ambro::test {
namespace {

using namespace std::chrono_literals;

// Ways to leave: at once, after a few bytes, after half a message, with a
// reset instead of a close.
struct Departure {
    const char* name;
    Bytes sent;
    bool reset;
};

const Departure kDepartures[] = {
    {"AtOnce", {}, false},
    {"AfterAFewBytes", {0x77, 0x41}, false},
    {"InTheMiddleOfAMessage", {0x77, 0x41, 0x78, 0x51, 0x58, 0x00, 0x00, 0x00, 0x01, 0x00}, true},
    {"WithNonsense", Bytes(300, 0xEE), true},
};

TEST(VanishingClients, LeaveEveryServerServing) {
    SimHarness sim;
    const std::uint16_t ports[] = {sim.currentPort(), sim.olderPort(), sim.playbackPort(),
                                   *sim.simulator().ports().olderCommand,
                                   *sim.simulator().ports().olderData};
    for (int round = 0; round < 3; ++round) {
        for (std::uint16_t port : ports) {
            for (const Departure& departure : kDepartures) {
                TestSocket socket(port);
                ASSERT_TRUE(socket.connected()) << departure.name;
                socket.send(departure.sent);
                if (departure.reset) socket.resetOnClose();
            }
        }
    }
    // A logged-in current session that vanishes while video flows.
    {
        net::LiveConnection leaving({"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234");
        ASSERT_EQ(leaving.connectSession(), net::ConnectOutcome::Accepted);
        std::this_thread::sleep_for(400ms);
        leaving.closeSockets();
    }

    net::LiveConnection connection({"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234");
    EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
    OlderClient older(sim.olderPort());
    ASSERT_TRUE(older.openControl("admin", "1234"));
    const auto last = older.logIn("admin", "1234");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->status, 255);
    PlaybackClient playback(sim.playbackPort());
    ASSERT_TRUE(playback.workPath());
    EXPECT_EQ(playback.logIn("admin", "1234")->bytes.at(64), 1);
    connection.interrupt();
    connection.closeSockets();
}

}  // namespace
}  // namespace ambro::test
