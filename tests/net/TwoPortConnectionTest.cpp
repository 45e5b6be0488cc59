#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/TwoPortConnection.h"
#include "net/TwoPortPassword.h"
#include "platform/Deadline.h"
#include "tests/support/FakeControlServer.h"

namespace ambro::net {
namespace {

using namespace std::chrono_literals;
using test::FakePeer;
using test::PeerConnection;
using Bytes = std::vector<std::uint8_t>;

using test::FakeControlServer;

TEST(TwoPortConnection, ConnectsAndTiesTheDataSocketToTheSession) {
    FakeControlServer server;
    auto connection = server.connection();
    EXPECT_EQ(connection->connect(TwoPortConnection::kClientType), TwoPortConnectResult::Ready);
    EXPECT_EQ(connection->serverVersion(), 6100);
    ASSERT_TRUE(server.dataPeer()->waitForAccepted(1, 5s));
    // The data handler reads the number on its own thread: wait for it.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    std::optional<std::uint32_t> number;
    while (!number && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(2ms);
        std::lock_guard lock(server.mutex);
        number = server.dataSessionNumber;
    }
    connection.reset();  // closes both sockets, so the fake handlers end
    EXPECT_EQ(number, 7u);
    std::lock_guard lock(server.mutex);
    EXPECT_EQ(server.clientType, 2u);
}

TEST(TwoPortConnection, AnUnansweredCommandFailsAtItsDeadline) {
    platform::setReplyTimeout(200ms);
    FakeControlServer server;
    server.exchanges = {{5, {}}};  // the request is read and never answered
    auto connection = server.connection();
    ASSERT_EQ(connection->connect(TwoPortConnection::kClientType), TwoPortConnectResult::Ready);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connection->cameraCommand(1, 0, 0, 3));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    platform::setReplyTimeout(platform::kDefaultReplyTimeout);
}

TEST(TwoPortConnection, NegativeSessionNumberFailsBeforeTheDataSocket) {
    FakeControlServer server;
    server.sessionNumber = -3;
    auto connection = server.connection();
    EXPECT_EQ(connection->connect(TwoPortConnection::kClientType), TwoPortConnectResult::Failed);
    EXPECT_EQ(server.dataPeer()->acceptedCount(), 0);
}

TEST(TwoPortConnection, ConfirmationOtherThanReadyGivesZero) {
    for (const Bytes& confirmation : {Bytes{'R', 'D', 'X', 0}, Bytes{'R', 'D', 'Y', '!'}}) {
        FakeControlServer server;
        server.confirmation = confirmation;
        auto connection = server.connection();
        EXPECT_EQ(connection->connect(TwoPortConnection::kClientType),
                  TwoPortConnectResult::NotConfirmed);
    }
}

TEST(TwoPortConnection, OnlyOneConnectPerObjectAndNoneWithoutAddress) {
    FakeControlServer server;
    auto connection = server.connection();
    EXPECT_EQ(connection->connect(2), TwoPortConnectResult::Ready);
    EXPECT_EQ(connection->connect(2), TwoPortConnectResult::Failed);

    TwoPortConnection unresolved("no-such-host.invalid", 1, 2);
    EXPECT_EQ(unresolved.connect(2), TwoPortConnectResult::Failed);
    TwoPortConnection zero("0.0.0.0", 1, 2);
    EXPECT_EQ(zero.connect(2), TwoPortConnectResult::Failed);
}

TEST(TwoPortConnection, LoginSendsCodedPasswordAndUserName) {
    FakeControlServer server;
    server.exchanges = {{2 + 6 + 1 + 5 + 1, {1, 0xAA, 0xBB}}};
    auto connection = server.connection();
    ASSERT_EQ(connection->connect(2), TwoPortConnectResult::Ready);
    EXPECT_EQ(connection->login(codeTwoPortPassword("abc"), "admin"),
              (TwoPortConnection::ReplyBytes{0xAA, 0xBB}));
    connection.reset();
    std::lock_guard lock(server.mutex);
    ASSERT_EQ(server.requests.size(), 1u);
    const Bytes expected = {7, 13, '6', '4', '6', '4', '6', '4', 0, 'a', 'd', 'm', 'i', 'n', 0};
    EXPECT_EQ(server.requests[0], expected);
}

TEST(TwoPortConnection, LoginBeyond66CharactersSendsNothing) {
    FakeControlServer server;
    // The first request to arrive must be the 66-character login, not the 67.
    server.exchanges = {{2 + 66 + 2, {1, 0, 0}}};
    auto connection = server.connection();
    ASSERT_EQ(connection->connect(2), TwoPortConnectResult::Ready);
    EXPECT_FALSE(connection->login(std::string(40, 'p'), std::string(27, 'u')));
    EXPECT_TRUE(connection->login(std::string(40, 'p'), std::string(26, 'u')));
    connection.reset();
    std::lock_guard lock(server.mutex);
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0][1], 68);
    EXPECT_EQ(server.requests[0][2], 'p');
}

struct CameraFormCase {
    std::int32_t version;
    Bytes expected;
    friend void PrintTo(const CameraFormCase& c, std::ostream* out) { *out << c.version; }
};

class CameraCommandForm : public testing::TestWithParam<CameraFormCase> {};

TEST_P(CameraCommandForm, DependsOnTheServerVersion) {
    FakeControlServer server;
    server.version = GetParam().version;
    server.exchanges = {{GetParam().expected.size(), {1, 0x11, 0x22, 0x33}}};
    auto connection = server.connection();
    ASSERT_EQ(connection->connect(2), TwoPortConnectResult::Ready);
    // Fields above 255 are cut to their low byte.
    const auto reply = connection->cameraCommand(0x105, 3, 4, 5);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->answer, 0x11);
    EXPECT_EQ(reply->followingBytes, (TwoPortConnection::ReplyBytes{0x22, 0x33}));
    connection.reset();
    std::lock_guard lock(server.mutex);
    ASSERT_EQ(server.requests.size(), 1u);
    EXPECT_EQ(server.requests[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Versions, CameraCommandForm,
                         testing::Values(CameraFormCase{6099, {53, 5, 3, 4}},
                                         CameraFormCase{6100, {54, 5, 3, 4, 5}}));

TEST(TwoPortConnection, RefusedStatusReadsNoMoreAndChannelCommandIsThreeBytes) {
    FakeControlServer server;
    server.exchanges = {{3, {0}}, {3, {1, 9, 8, 7}}};
    auto connection = server.connection();
    ASSERT_EQ(connection->connect(2), TwoPortConnectResult::Ready);
    EXPECT_FALSE(connection->channelCommand(2, 300));
    // Had the refusal read three more bytes, this reply would be misaligned.
    const auto reply = connection->channelCommand(0, 0);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->answer, 9);
    connection.reset();
    std::lock_guard lock(server.mutex);
    ASSERT_EQ(server.requests.size(), 2u);
    EXPECT_EQ(server.requests[0], (Bytes{100, 2, 44}));
}

TEST(TwoPortConnection, BrokenReplyFailsTheCommand) {
    FakeControlServer server;
    server.exchanges = {{5, {1, 0x11}}};  // accepted, then one of three bytes and a close
    server.closeAfterExchanges = true;
    auto connection = server.connection();
    ASSERT_EQ(connection->connect(2), TwoPortConnectResult::Ready);
    EXPECT_FALSE(connection->cameraCommand(1, 2, 3, 4));
}

struct PasswordCase {
    std::string password;
    std::string coded;
    friend void PrintTo(const PasswordCase& c, std::ostream* out) { *out << c.coded; }
};

class PasswordCoding : public testing::TestWithParam<PasswordCase> {};

TEST_P(PasswordCoding, AddsTheDistanceFromTheEnd) {
    EXPECT_EQ(codeTwoPortPassword(GetParam().password), GetParam().coded);
}

INSTANTIATE_TEST_SUITE_P(Texts, PasswordCoding,
                         testing::Values(PasswordCase{"abc", "646464"}, PasswordCase{"", ""},
                                         PasswordCase{"\x0E", "f"},
                                         PasswordCase{"\xFF\x01", "12"},
                                         PasswordCase{"Z", "5b"}));

}  // namespace
}  // namespace ambro::net
