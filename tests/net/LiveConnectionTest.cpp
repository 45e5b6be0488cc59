#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "net/Blowfish.h"
#include "net/LiveConnection.h"
#include "platform/ByteOrder.h"
#include "platform/Deadline.h"
#include "tests/support/CredentialDecryption.h"
#include "tests/support/FakeLiveServer.h"

namespace ambro::net {
namespace {

using namespace std::chrono_literals;
using platform::loadLe32;
using test::FakeLiveServer;
using test::FakeLiveServerScript;
using test::RecordedRequest;

// Records the order in which the handshake hands over its streams.
struct RecordingReaders : LiveStreamReaders {
    std::vector<std::string> started;
    void startAuxiliaryReader(LiveConnection& connection) override {
        started.push_back(connection.auxiliarySocket() >= 0 ? "auxiliary" : "auxiliary-closed");
    }
    void startVideoReader(LiveConnection& connection) override {
        started.push_back(connection.videoSocket() >= 0 ? "video" : "video-closed");
    }
};

std::vector<std::uint32_t> commandsOn(const std::vector<RecordedRequest>& requests,
                                      int connection) {
    std::vector<std::uint32_t> commands;
    for (const auto& request : requests) {
        if (request.connection == connection) commands.push_back(request.head.command);
    }
    return commands;
}

const RecordedRequest& firstOf(const std::vector<RecordedRequest>& requests, int connection,
                               std::uint32_t command) {
    for (const auto& request : requests) {
        if (request.connection == connection && request.head.command == command) return request;
    }
    throw std::runtime_error("request not recorded");
}

std::string decryptedField(const FakeLiveServerScript& script, const RecordedRequest& login,
                           std::size_t offset) {
    const Blowfish cipher(script.sessionKey);
    CredentialField field;
    std::copy_n(login.bytes.begin() + offset, field.size(), field.begin());
    test::decryptCredentialField(cipher, field);
    return std::string(field.begin(), field.end());
}

std::string padded(const std::string& text) { return text + std::string(32 - text.size(), '\0'); }

class Handshake : public testing::Test {
protected:
    void connect(FakeLiveServerScript script, std::string user = "admin",
                 std::string password = "secret") {
        server = std::make_unique<FakeLiveServer>(std::move(script));
        connection = std::make_unique<LiveConnection>(server->endpoint(), user, password);
        connection->setStreamReaders(&readers);
        outcome = connection->connectSession();
        result = outcome == ConnectOutcome::Accepted;
    }
    // Ends the client side so the fake server's handlers finish.
    void TearDown() override {
        connection.reset();
        server.reset();
    }

    RecordingReaders readers;
    std::unique_ptr<FakeLiveServer> server;
    std::unique_ptr<LiveConnection> connection;
    ConnectOutcome outcome = ConnectOutcome::Failed;
    bool result = false;
};

TEST_F(Handshake, FullSessionOnThreeConnections) {
    connect(FakeLiveServerScript::withCameras(51, 0b1010));
    ASSERT_TRUE(result);
    ASSERT_TRUE(server->waitForRequests(11, 5s));
    const auto requests = server->requests();
    const auto& script = server->script();

    EXPECT_EQ(commandsOn(requests, 0),
              (std::vector<std::uint32_t>{3, 1, 7, 8, 226, 176, 18, 32, 19}));
    EXPECT_EQ(commandsOn(requests, 1), std::vector<std::uint32_t>{1});
    EXPECT_EQ(commandsOn(requests, 2), std::vector<std::uint32_t>{1});
    EXPECT_EQ(readers.started, (std::vector<std::string>{"auxiliary", "video"}));

    // Every request is sent with the client magic and its exact length.
    for (const auto& request : requests) {
        EXPECT_EQ(std::string(request.bytes.begin(), request.bytes.begin() + 4), "wAxQ");
        EXPECT_EQ(request.head.totalLength, request.bytes.size());
    }

    // The ticket goes out only where it belongs.
    const std::uint32_t ticket = script.ticket;
    for (std::uint32_t command : {7u, 226u, 176u, 18u, 32u, 19u}) {
        EXPECT_EQ(firstOf(requests, 0, command).head.parameter, ticket) << command;
    }
    EXPECT_EQ(firstOf(requests, 0, 3).head.parameter, 0u);
    EXPECT_EQ(firstOf(requests, 0, 8).head.parameter, 0u);

    struct LoginCase {
        int connection;
        std::uint32_t ticket;
        std::uint32_t type;
    };
    for (const LoginCase& c : {LoginCase{0, 0, 0}, LoginCase{1, ticket, 3}, LoginCase{2, ticket, 1}}) {
        const auto& login = firstOf(requests, c.connection, 1);
        ASSERT_EQ(login.bytes.size(), 88u);
        EXPECT_EQ(login.head.parameter, c.ticket);
        EXPECT_EQ(loadLe32(login.bytes.data() + 80), 1u);
        EXPECT_EQ(loadLe32(login.bytes.data() + 84), c.type);
        EXPECT_EQ(decryptedField(script, login, 16), padded("admin"));
        EXPECT_EQ(decryptedField(script, login, 48), padded("secret"));
        EXPECT_NE(std::string(login.bytes.begin() + 16, login.bytes.begin() + 21), "admin");
    }

    const auto& channels = firstOf(requests, 0, 32);
    ASSERT_EQ(channels.bytes.size(), 20u);
    EXPECT_EQ(loadLe32(channels.bytes.data() + 16), 0b10u);

    // What the handshake stored.
    EXPECT_EQ(connection->sessionKey(), script.sessionKey);
    EXPECT_EQ(connection->keyWord(), script.keyWord);
    EXPECT_EQ(connection->ticket(), ticket);
    EXPECT_EQ(connection->serverInformation(), script.information);
    EXPECT_EQ(connection->serverDescription(), script.description);
    EXPECT_EQ(connection->extraBlockWord(), script.extraBlockWord);
    EXPECT_EQ(connection->extraBlock()[63], 0x5A);
    EXPECT_EQ(connection->auxiliaryWord(), script.auxiliaryWord);
    EXPECT_EQ(connection->videoWord(), script.videoWord);
    ASSERT_EQ(connection->cameraList().cameras.size(), 2u);
    EXPECT_EQ(connection->cameraList().cameras[1].name, "Cam 4");
    EXPECT_FALSE(connection->ioNames().present);
}

struct GreetingCase {
    const char* name;
    friend void PrintTo(const GreetingCase& c, std::ostream* out) { *out << c.name; }
    Greeting greeting;
    ConnectOutcome outcome;
};

class OtherGreeting : public Handshake, public testing::WithParamInterface<GreetingCase> {};

TEST_P(OtherGreeting, EndsTheHandshakeAndKeepsTheGreeting) {
    FakeLiveServerScript script;
    script.greeting = GetParam().greeting;
    connect(script);
    EXPECT_FALSE(result);
    ASSERT_TRUE(connection->greeting().has_value());
    EXPECT_EQ(*connection->greeting(), GetParam().greeting);
    EXPECT_EQ(outcome, GetParam().outcome);
    connection.reset();
    EXPECT_TRUE(server->requests().empty());
    EXPECT_EQ(server->acceptedCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Words, OtherGreeting,
    testing::Values(GreetingCase{"OlderGeneration", {kOlderGenerationGreeting, 0, 5000, 5001},
                                 ConnectOutcome::OlderGeneration},
                    GreetingCase{"Refusing", {kRefusingGreeting, 0, 0, 0},
                                 ConnectOutcome::TooManyUsers},
                    GreetingCase{"Unknown", {0x01020304, 0, 0, 0}, ConnectOutcome::Failed}),
    [](const auto& info) { return std::string(info.param.name); });

struct LoginStatusCase {
    std::uint32_t status;
    bool accepted;
    friend void PrintTo(const LoginStatusCase& c, std::ostream* out) {
        *out << std::hex << c.status;
    }
};

class LoginStatus : public Handshake, public testing::WithParamInterface<LoginStatusCase> {};

TEST_P(LoginStatus, OnlyTheTwoAcceptingStatusesLogIn) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.loginStatus = GetParam().status;
    connect(script);
    EXPECT_EQ(outcome,
              GetParam().accepted ? ConnectOutcome::Accepted : ConnectOutcome::LoginRefused);
}

INSTANTIATE_TEST_SUITE_P(Statuses, LoginStatus,
                         testing::Values(LoginStatusCase{0xF0000000, true},
                                         LoginStatusCase{0xF0000004, true},
                                         LoginStatusCase{0xF0000001, false},
                                         LoginStatusCase{0xF0000003, false},
                                         LoginStatusCase{0, false}));

TEST_F(Handshake, KeyReplyOf40BytesIsAcceptedAnd32Fails) {
    FakeLiveServerScript longer = FakeLiveServerScript::withCameras(51, 1);
    auto reply = test::serverReply(3, 0, 40);
    std::copy(longer.sessionKey.begin(), longer.sessionKey.end(), reply.begin() + 16);
    longer.replyOverrides[3] = reply;
    connect(longer);
    EXPECT_TRUE(result);
    EXPECT_EQ(connection->sessionKey(), longer.sessionKey);

    FakeLiveServerScript shorter = FakeLiveServerScript::withCameras(51, 1);
    shorter.replyOverrides[3] = test::serverReply(3, 0, 32);
    connect(shorter);
    EXPECT_FALSE(result);
    connection.reset();
    EXPECT_EQ(commandsOn(server->requests(), 0), std::vector<std::uint32_t>{3});
}

TEST_F(Handshake, KeyReplyWithAnotherCommandFails) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.replyOverrides[3] = test::serverReply(4, 0, 36);
    connect(script);
    EXPECT_FALSE(result);
}

TEST_F(Handshake, UserNameOf32CharactersFillsTheFieldAnd33IsCut) {
    for (const std::size_t length : {32u, 33u}) {
        connect(FakeLiveServerScript::withCameras(51, 1), std::string(length, 'u'), "pw");
        ASSERT_TRUE(result);
        const auto requests = server->requests();
        EXPECT_EQ(decryptedField(server->script(), firstOf(requests, 0, 1), 16),
                  std::string(32, 'u'));
    }
}

struct MaskCase {
    const char* name;
    friend void PrintTo(const MaskCase& c, std::ostream* out) { *out << c.name; }
    std::int32_t kind;
    std::uint32_t mask;
};

class EmptyCameraList : public Handshake, public testing::WithParamInterface<MaskCase> {};

TEST_P(EmptyCameraList, SelectsNoCameraAndSendsMaskZero) {
    connect(FakeLiveServerScript::withCameras(GetParam().kind, GetParam().mask));
    ASSERT_TRUE(result);
    EXPECT_TRUE(connection->cameraList().cameras.empty());
    const auto requests = server->requests();
    const auto& channels = firstOf(requests, 0, 32);
    EXPECT_EQ(loadLe32(channels.bytes.data() + 16), 0u);
}

INSTANTIATE_TEST_SUITE_P(Masks, EmptyCameraList,
                         testing::Values(MaskCase{"ZeroMask", 51, 0},
                                         MaskCase{"Kind62BitZeroOnly", 62, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Handshake, IoNamesAreCopiedAtTheEnd) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    platform::storeLe32(script.information.data() + 4, 1);
    platform::storeLe16(script.description.data() + 14, 2);
    // The last camera records share their bytes with the first name list;
    // the terminator keeps the fixture's "Cam 32" out of this name.
    std::memcpy(script.description.data() + 1372 + 32, "Door", 5);
    connect(script);
    ASSERT_TRUE(result);
    EXPECT_TRUE(connection->ioNames().present);
    EXPECT_EQ(connection->ioNames().inputNames, (std::vector<std::string>{"", "Door"}));
    EXPECT_TRUE(connection->ioNames().outputNames.empty());
}

struct BrokenStepCase {
    const char* name;
    friend void PrintTo(const BrokenStepCase& c, std::ostream* out) { *out << c.name; }
    std::uint32_t command;
    bool truncate;  // half a reply then a close, else a close with no reply
};

class BrokenStep : public Handshake, public testing::WithParamInterface<BrokenStepCase> {};

TEST_P(BrokenStep, FailsTheHandshakeWithoutHanging) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    (GetParam().truncate ? script.truncateOn : script.closeOn).push_back(GetParam().command);
    connect(script);
    EXPECT_FALSE(result);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BrokenStep,
    testing::Values(BrokenStepCase{"KeyClosed", 3, false}, BrokenStepCase{"LoginHalf", 1, true},
                    BrokenStepCase{"DescriptionHalf", 8, true},
                    BrokenStepCase{"ExtraBlockClosed", 226, false},
                    BrokenStepCase{"AuxiliaryCheckHalf", 176, true},
                    BrokenStepCase{"VideoStartClosed", 19, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Handshake, RefusedConnectAndUnknownHostSetConnectFailed) {
    std::uint16_t closedPort;
    {
        test::FakePeer probe([](test::PeerConnection&, int) {});
        closedPort = probe.port();
    }
    for (const SessionEndpoint& endpoint :
         {SessionEndpoint{"127.0.0.1", std::to_string(closedPort)},
          SessionEndpoint{"no-such-host.invalid", "80"}, SessionEndpoint{"127.0.0.1", "70000"},
          SessionEndpoint{"127.0.0.1", ""}}) {
        LiveConnection refused(endpoint, "Guest", "");
        EXPECT_EQ(refused.connectSession(), ConnectOutcome::ConnectFailed)
            << endpoint.host << ":" << endpoint.port;
        EXPECT_FALSE(refused.greeting().has_value());
        EXPECT_EQ(refused.commandSocket().load(), platform::kNoSocket);
    }
}

TEST_F(Handshake, ShutdownFromAnotherThreadEndsABlockedHandshake) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.holdOn.push_back(7);
    server = std::make_unique<FakeLiveServer>(script);
    connection = std::make_unique<LiveConnection>(server->endpoint(), "admin", "pw");
    auto pending = std::async(std::launch::async, [this] { return connection->connectSession(); });
    ASSERT_TRUE(server->waitForRequests(3, 5s));
    connection->interrupt();
    ASSERT_EQ(pending.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(pending.get(), ConnectOutcome::Interrupted);
    // Once stopped, the session opens no new connection.
    EXPECT_EQ(connection->connectSession(), ConnectOutcome::Interrupted);
    EXPECT_EQ(server->acceptedCount(), 1);
}

TEST(PtzDescription, DomeAddressesFromTheServerStayInRange) {
    struct Case {
        std::uint32_t address;
        int number;
    };
    for (const Case c : {Case{0, 1}, Case{254, 255}, Case{255, 0}, Case{0x7FFFFFFF, 0},
                         Case{0xFFFFFFFF, 0}}) {
        const auto record = test::FakeLiveServerScript::ptzRecordFor(true, 1, c.address, 9, "X");
        const PtzDescription description = PtzDescription::fromRecord(record);
        EXPECT_EQ(description.addressNumber(), c.number) << c.address;
        EXPECT_EQ(description.speedLevelNumber(), 0);
    }
}

// A server that stops answering ends the handshake within the reply
// deadline, whatever step it stops at.
struct SilenceCase {
    const char* name;
    friend void PrintTo(const SilenceCase& c, std::ostream* out) { *out << c.name; }
    FakeLiveServerScript::Silence silence;
    std::vector<std::uint32_t> stallOn;
    std::chrono::milliseconds trickle;
};

class SilentServer : public Handshake, public testing::WithParamInterface<SilenceCase> {
protected:
    void SetUp() override { platform::setReplyTimeout(kShortTimeout); }
    void TearDown() override {
        Handshake::TearDown();
        platform::setReplyTimeout(platform::kDefaultReplyTimeout);
    }
    static constexpr std::chrono::milliseconds kShortTimeout{300};
};

TEST_P(SilentServer, EndsTheHandshakeWithinTheDeadline) {
    FakeLiveServerScript script = FakeLiveServerScript::withCameras(51, 1);
    script.silence = GetParam().silence;
    script.stallOn = GetParam().stallOn;
    script.trickle = GetParam().trickle;
    const auto start = std::chrono::steady_clock::now();
    connect(script);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(outcome, ConnectOutcome::TimedOut);
    // One step's deadline, and nowhere near the server's own patience.
    EXPECT_LT(took, 5s);
}

INSTANTIATE_TEST_SUITE_P(
    Points, SilentServer,
    testing::Values(
        SilenceCase{"AfterAccept", FakeLiveServerScript::Silence::AfterAccept, {}, 0ms},
        SilenceCase{"AfterGreeting", FakeLiveServerScript::Silence::AfterGreeting, {}, 0ms},
        SilenceCase{"HalfWayThroughTheKeyReply", FakeLiveServerScript::Silence::None, {3}, 0ms},
        SilenceCase{"HalfWayThroughTheDescription", FakeLiveServerScript::Silence::None, {8}, 0ms},
        SilenceCase{"ByteByByte", FakeLiveServerScript::Silence::None, {}, 50ms}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ambro::net
