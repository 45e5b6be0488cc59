#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <thread>

#include "net/StreamIo.h"
#include "platform/TcpSocket.h"

namespace ambro::net {
namespace {

// A connected pair of local stream sockets; the client end is a session
// socket field, the other end is driven by the test.
class SocketPair : public testing::Test {
protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        client = ends[0];
        peer = ends[1];
        timeval timeout{5, 0};
        ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    }
    void TearDown() override {
        platform::closeSocket(client);
        if (peer >= 0) ::close(peer);
    }
    void closePeer() {
        ::close(peer);
        peer = -1;
    }

    SocketField client{platform::kNoSocket};
    int peer = -1;
};

TEST_F(SocketPair, ReceiveExactlyGathersPiecesIntoTheFullCount) {
    std::thread writer([this] {
        for (std::uint8_t i = 0; i < 10; ++i) {
            ::send(peer, &i, 1, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    std::array<std::uint8_t, 10> bytes{};
    EXPECT_EQ(receiveExactly(client, bytes.data(), 10), 10);
    writer.join();
    for (std::uint8_t i = 0; i < 10; ++i) EXPECT_EQ(bytes[i], i);
}

TEST_F(SocketPair, PeerClosingHalfWayGivesMinusOneNotAShortCount) {
    const std::uint8_t half[5] = {1, 2, 3, 4, 5};
    ::send(peer, half, sizeof half, 0);
    closePeer();
    std::array<std::uint8_t, 10> bytes{};
    EXPECT_EQ(receiveExactly(client, bytes.data(), 10), -1);
}

TEST_F(SocketPair, SendAllSendsEverythingAndFailsOnAClosedPeer) {
    const std::array<std::uint8_t, 3> bytes = {7, 8, 9};
    EXPECT_EQ(sendAll(client, bytes.data(), 3), 3);
    std::array<std::uint8_t, 3> received{};
    ASSERT_EQ(::recv(peer, received.data(), 3, MSG_WAITALL), 3);
    EXPECT_EQ(received, bytes);

    closePeer();
    // The first send may still be buffered; a broken pipe shows up at once
    // after, and must never raise SIGPIPE.
    std::array<std::uint8_t, 65536> large{};
    EXPECT_EQ(sendAll(client, large.data(), static_cast<int>(large.size())), -1);
}

TEST_F(SocketPair, ClosedOrStoppedFieldFails) {
    std::uint8_t byte = 0;
    SocketField closed{platform::kNoSocket};
    EXPECT_EQ(receiveExactly(closed, &byte, 1), -1);
    EXPECT_EQ(sendAll(closed, &byte, 1), -1);

    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::shutdownSocket(client);
    });
    EXPECT_EQ(receiveExactly(client, &byte, 1), -1);
    stopper.join();
}

TEST_F(SocketPair, DiscardExactlySkipsLargeCountsInPieces) {
    std::thread writer([this] {
        std::array<std::uint8_t, 10000> bytes{};
        bytes.back() = 0xEE;
        ::send(peer, bytes.data(), bytes.size(), 0);
        const std::uint8_t marker = 0x42;
        ::send(peer, &marker, 1, 0);
    });
    EXPECT_TRUE(discardExactly(client, 10000));
    std::uint8_t marker = 0;
    EXPECT_EQ(receiveExactly(client, &marker, 1), 1);
    EXPECT_EQ(marker, 0x42);
    writer.join();
}

}  // namespace
}  // namespace ambro::net
