// Each --fault kind makes each server misbehave the way it is meant to.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <functional>

#include "net/LiveConnection.h"
#include "net/StreamIo.h"
#include "platform/ByteOrder.h"
#include "tests/sim/OlderClient.h"
#include "tests/sim/PlaybackClient.h"
#include "tests/sim/SimHarness.h"
#include "tests/support/DecoderHarness.h"

namespace ambro::test {
namespace {

using namespace std::chrono_literals;
using sim::FaultKind;
using platform::loadLe32;

using Check = std::function<void(SimHarness&)>;

struct FaultCase {
    const char* name;
    FaultKind kind;
    Check check;
};

void PrintTo(const FaultCase& c, std::ostream* out) {
    *out << c.name;
}

std::string nameOf(const testing::TestParamInfo<FaultCase>& info) {
    return info.param.name;
}

net::LiveConnection liveConnection(SimHarness& sim) {
    return net::LiveConnection({"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234");
}

// The first picture's head and payload on a logged-in current session.
struct CurrentVideo {
    explicit CurrentVideo(SimHarness& sim) : connection({"127.0.0.1", std::to_string(sim.currentPort())}, "admin", "1234") {
        connected = connection.connectSession() == net::ConnectOutcome::Accepted;
        if (!connected) return;
        timeval timeout{10, 0};
        setsockopt(connection.videoSocket().load(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        Bytes record(1200);
        statusRead = net::receiveExactly(connection.videoSocket(), record.data(), 1200) ==
                     net::IoResult::Done;
    }
    ~CurrentVideo() {
        connection.interrupt();
        connection.closeSockets();
    }
    // Reads one picture of camera 1: false when the connection broke.
    bool readPicture(Bytes& payload) {
        std::uint8_t head[36];
        if (net::receiveExactly(connection.videoSocket(), head, 36) != net::IoResult::Done) {
            return false;
        }
        payload.resize(loadLe32(head + 4) - 36);
        return net::receiveExactly(connection.videoSocket(), payload.data(),
                                   static_cast<int>(payload.size())) == net::IoResult::Done;
    }
    net::LiveConnection connection;
    bool connected = false;
    bool statusRead = false;
};

void loggedInOlder(OlderClient& client) {
    ASSERT_TRUE(client.greeted());
    ASSERT_TRUE(client.openControl("admin", "1234"));
    const auto last = client.logIn("admin", "1234");
    ASSERT_TRUE(last);
    ASSERT_EQ(last->status, 255);
}

std::optional<OlderClient::Picture> olderPicture(OlderClient& client) {
    client.request(14, OlderClient::word(0));
    client.send(36);
    return client.receivePicture();
}

void loggedInPlayback(PlaybackClient& client) {
    ASSERT_TRUE(client.workPath());
    const auto login = client.logIn("admin", "1234");
    ASSERT_TRUE(login);
    ASSERT_EQ(login->bytes.at(64), 1);
}

// Asks for the first picture of camera 1's oldest recorded file.
bool requestPlaybackPicture(PlaybackClient& client) {
    const auto camera = client.camera(1);
    if (!camera) return false;
    const std::uint32_t day = camera->word32(128 + camera->bytes.at(64));
    const Bytes time = PlaybackClient::dateTime(static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100),
                                                static_cast<int>(day % 100), 9, 0, 0, 1);
    const auto file = client.file(camera->word32(108), time);
    if (!file) return false;
    const auto open = client.open(file->text(68, file->word16(66)));
    return open && client.requestFrames(open->word32(68), time, 0, 1);
}

// Random bytes in a picture's place are rejected or decode to nothing
// harmful; the decoder never writes outside its picture.
void expectHarmless(const Bytes& payload, int width, int height) {
    DecoderHarness decoder(width, height);
    const int result = decoder.decode(payload);
    EXPECT_TRUE(result == 0 || result == -1);
    EXPECT_TRUE(decoder.guardIntact());
}

const FaultCase kCases[] = {
    // Current generation.
    {"CurrentRefusedLogin", FaultKind::RefusedLogin, [](SimHarness& sim) {
         auto connection = liveConnection(sim);
         EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::LoginRefused);
         EXPECT_TRUE(sim.waitForLog("refused", 1s));
     }},
    {"CurrentTooManyUsers", FaultKind::TooManyUsers, [](SimHarness& sim) {
         auto connection = liveConnection(sim);
         EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::TooManyUsers);
         ASSERT_TRUE(connection.greeting());
         EXPECT_EQ((*connection.greeting())[0], net::kRefusingGreeting);
     }},
    {"CurrentUnaffectedByClientRejection", FaultKind::ClientRejected, [](SimHarness& sim) {
         auto connection = liveConnection(sim);
         EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
     }},
    {"CurrentBadMagic", FaultKind::BadMagic, [](SimHarness& sim) {
         auto connection = liveConnection(sim);
         EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::Failed);
         ASSERT_TRUE(connection.greeting());
         const std::uint32_t word = (*connection.greeting())[0];
         EXPECT_TRUE(word != 0x71586157u && word != net::kOlderGenerationGreeting &&
                     word != net::kRefusingGreeting);
     }},
    {"CurrentAbsurdLength", FaultKind::AbsurdLength, [](SimHarness& sim) {
         TestSocket socket(sim.currentPort());
         ASSERT_TRUE(socket.receive(16));
         Bytes request(16);
         platform::storeLe32(request.data(), 0x51784177);
         platform::storeLe32(request.data() + 4, 16);
         platform::storeLe32(request.data() + 8, 3);
         ASSERT_TRUE(socket.send(request));
         const auto head = socket.receive(8);
         ASSERT_TRUE(head);
         EXPECT_GT(loadLe32(head->data() + 4), 1u << 30);
         auto connection = liveConnection(sim);
         EXPECT_NE(connection.connectSession(), net::ConnectOutcome::Accepted);
     }},
    {"CurrentCloseMidMessage", FaultKind::CloseMidMessage, [](SimHarness& sim) {
         CurrentVideo video(sim);
         ASSERT_TRUE(video.connected && video.statusRead);
         Bytes payload;
         EXPECT_FALSE(video.readPicture(payload));
         EXPECT_TRUE(sim.waitForLog("in the middle of a picture", 2s));
     }},
    {"CurrentSilence", FaultKind::Silence, [](SimHarness& sim) {
         TestSocket socket(sim.currentPort());
         ASSERT_TRUE(socket.connected());
         EXPECT_TRUE(socket.receiveAvailable(500ms).empty());
     }},
    {"CurrentGarbage", FaultKind::Garbage, [](SimHarness& sim) {
         CurrentVideo video(sim);
         ASSERT_TRUE(video.connected && video.statusRead);
         for (int i = 0; i < 3; ++i) {
             Bytes payload;
             ASSERT_TRUE(video.readPicture(payload));
             expectHarmless(payload, 352, 288);
         }
     }},
    {"CurrentSlowLink", FaultKind::SlowLink, [](SimHarness& sim) {
         auto connection = liveConnection(sim);
         const auto started = std::chrono::steady_clock::now();
         // About 3 kB of replies, 64 bytes at a time with 20 ms between.
         EXPECT_EQ(connection.connectSession(), net::ConnectOutcome::Accepted);
         EXPECT_GE(std::chrono::steady_clock::now() - started, 600ms);
         connection.interrupt();
         connection.closeSockets();
     }},

    // Older generation.
    {"OlderRefusedLogin", FaultKind::RefusedLogin, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         ASSERT_TRUE(client.greeted());
         EXPECT_FALSE(client.openControl("admin", "1234"));
         const auto last = client.logIn("admin", "1234");
         ASSERT_TRUE(last);
         EXPECT_NE(last->status, 255);
     }},
    {"OlderTooManyUsers", FaultKind::TooManyUsers, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         ASSERT_TRUE(client.greeted());
         EXPECT_EQ(client.greeting()[0], 0x44332211u);
     }},
    {"OlderClientRejected", FaultKind::ClientRejected, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         ASSERT_TRUE(client.openControl("admin", "1234"));
         const auto last = client.logIn("admin", "1234");
         ASSERT_TRUE(last);
         EXPECT_NE(last->status, 255);  // the client check, code 37, is refused
         EXPECT_TRUE(sim.waitForLog("client-rejected", 1s));
     }},
    {"OlderBadMagic", FaultKind::BadMagic, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         ASSERT_TRUE(client.greeted());
         EXPECT_NE(client.greeting()[0], 0x11223344u);
         EXPECT_NE(client.greeting()[0], 0x44332211u);
     }},
    {"OlderAbsurdLength", FaultKind::AbsurdLength, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         ASSERT_TRUE(client.send(0));
         const auto head = client.socket().receive(8);
         ASSERT_TRUE(head);
         EXPECT_GT(loadLe32(head->data() + 4), 40951u);
     }},
    {"OlderCloseMidMessage", FaultKind::CloseMidMessage, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         loggedInOlder(client);
         EXPECT_FALSE(olderPicture(client));
         EXPECT_TRUE(client.socket().closedWithin(2s));
     }},
    {"OlderSilence", FaultKind::Silence, [](SimHarness& sim) {
         TestSocket socket(sim.olderPort());
         ASSERT_TRUE(socket.connected());
         EXPECT_TRUE(socket.receiveAvailable(500ms).empty());
     }},
    {"OlderGarbage", FaultKind::Garbage, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         loggedInOlder(client);
         const auto picture = olderPicture(client);
         ASSERT_TRUE(picture);
         expectHarmless(picture->payload, 176, 144);
     }},
    {"OlderSlowLink", FaultKind::SlowLink, [](SimHarness& sim) {
         OlderClient client(sim.olderPort());
         loggedInOlder(client);
         const auto started = std::chrono::steady_clock::now();
         ASSERT_TRUE(client.request(5));  // 4360 bytes
         EXPECT_GE(std::chrono::steady_clock::now() - started, 600ms);
     }},

    // Playback.
    {"PlaybackRefusedLogin", FaultKind::RefusedLogin, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         ASSERT_TRUE(client.workPath());
         const auto login = client.logIn("admin", "1234");
         ASSERT_TRUE(login);
         EXPECT_EQ(login->bytes.at(64), 0);
     }},
    {"PlaybackUnaffectedByTooManyUsers", FaultKind::TooManyUsers, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         loggedInPlayback(client);
     }},
    {"PlaybackClientRejected", FaultKind::ClientRejected, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         const auto path = client.workPath();
         ASSERT_TRUE(path);
         EXPECT_LT(path->bytes[0], 5);  // a protocol version the client refuses
     }},
    {"PlaybackBadMagic", FaultKind::BadMagic, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         ASSERT_TRUE(client.send(4, 0, true, Bytes(12)));
         const auto prefix = client.socket().receive(5);
         ASSERT_TRUE(prefix);
         EXPECT_NE((*prefix)[0], 0);
     }},
    {"PlaybackAbsurdLength", FaultKind::AbsurdLength, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         ASSERT_TRUE(client.send(4, 0, true, Bytes(12)));
         const auto prefix = client.socket().receive(5);
         ASSERT_TRUE(prefix);
         EXPECT_GT(loadLe32(prefix->data() + 1), 262136u);
     }},
    {"PlaybackCloseMidMessage", FaultKind::CloseMidMessage, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         loggedInPlayback(client);
         ASSERT_TRUE(requestPlaybackPicture(client));
         EXPECT_FALSE(client.receive());
         EXPECT_TRUE(client.socket().closedWithin(2s));
     }},
    {"PlaybackSilence", FaultKind::Silence, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         ASSERT_TRUE(client.send(4, 0, true, Bytes(12)));
         EXPECT_TRUE(client.socket().receiveAvailable(500ms).empty());
     }},
    {"PlaybackGarbage", FaultKind::Garbage, [](SimHarness& sim) {
         PlaybackClient client(sim.playbackPort());
         loggedInPlayback(client);
         ASSERT_TRUE(requestPlaybackPicture(client));
         const auto frame = client.receive();
         ASSERT_TRUE(frame);
         expectHarmless(Bytes(frame->bytes.begin() + 128, frame->bytes.end()), 352, 288);
     }},
};

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, ShowThemselves) {
    SimHarness sim({GetParam().kind});
    GetParam().check(sim);
}

INSTANTIATE_TEST_SUITE_P(EveryKindAndServer, Faults, testing::ValuesIn(kCases), nameOf);

}  // namespace
}  // namespace ambro::test
