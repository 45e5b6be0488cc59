#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <vector>
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
    EXPECT_EQ(receiveExactly(client, bytes.data(), 10), IoResult::Done);
    writer.join();
    for (std::uint8_t i = 0; i < 10; ++i) EXPECT_EQ(bytes[i], i);
}

TEST_F(SocketPair, PeerClosingHalfWayGivesClosedNotAShortCount) {
    const std::uint8_t half[5] = {1, 2, 3, 4, 5};
    ::send(peer, half, sizeof half, 0);
    closePeer();
    std::array<std::uint8_t, 10> bytes{};
    EXPECT_EQ(receiveExactly(client, bytes.data(), 10), IoResult::Closed);
}

TEST_F(SocketPair, SendAllSendsEverythingAndFailsOnAClosedPeer) {
    const std::array<std::uint8_t, 3> bytes = {7, 8, 9};
    EXPECT_EQ(sendAll(client, bytes.data(), 3), IoResult::Done);
    std::array<std::uint8_t, 3> received{};
    ASSERT_EQ(::recv(peer, received.data(), 3, MSG_WAITALL), 3);
    EXPECT_EQ(received, bytes);

    closePeer();
    // The first send may still be buffered; a broken pipe shows up at once
    // after, and must never raise SIGPIPE.
    std::array<std::uint8_t, 65536> large{};
    EXPECT_EQ(sendAll(client, large.data(), static_cast<int>(large.size())), IoResult::Failed);
}

TEST_F(SocketPair, ClosedOrStoppedFieldFails) {
    std::uint8_t byte = 0;
    SocketField closed{platform::kNoSocket};
    EXPECT_EQ(receiveExactly(closed, &byte, 1), IoResult::Failed);
    EXPECT_EQ(sendAll(closed, &byte, 1), IoResult::Failed);

    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        platform::shutdownSocket(client);
    });
    // A shutdown from another thread reads as the end of the stream.
    EXPECT_EQ(receiveExactly(client, &byte, 1), IoResult::Closed);
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
    EXPECT_EQ(discardExactly(client, 10000), IoResult::Done);
    std::uint8_t marker = 0;
    EXPECT_EQ(receiveExactly(client, &marker, 1), IoResult::Done);
    EXPECT_EQ(marker, 0x42);
    writer.join();
}

TEST_F(SocketPair, DeadlineEndsASilentOrTricklingPeer) {
    using namespace std::chrono_literals;
    std::array<std::uint8_t, 8> bytes{};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiveExactly(client, bytes.data(), 8, Deadline::after(100ms)), IoResult::TimedOut);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 90ms);

    // A byte now and then never stretches one step past its deadline.
    std::atomic<bool> stop{false};
    std::thread trickler([&] {
        for (int i = 0; i < 100 && !stop; ++i) {
            ::send(peer, "x", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(30ms);
        }
    });
    start = std::chrono::steady_clock::now();
    std::array<std::uint8_t, 64> many{};
    EXPECT_EQ(receiveExactly(client, many.data(), 64, Deadline::after(200ms)), IoResult::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    stop = true;
    trickler.join();
}

TEST(BoundedConnect, AnUnansweredConnectEndsAtItsDeadlineOrWhenAbandoned) {
    using namespace std::chrono_literals;
    // A listener that never accepts and has a full queue leaves the next
    // connects unanswered.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const std::uint16_t port = ntohs(address.sin_port);

    std::vector<SocketField> fillers(8);
    auto result = platform::ConnectResult::Connected;
    for (auto& filler : fillers) {
        filler = platform::createTcpSocket();
        result = platform::connectIpv4(filler, address.sin_addr.s_addr, port,
                                       Deadline::after(150ms));
        if (result == platform::ConnectResult::TimedOut) break;
    }
    EXPECT_EQ(result, platform::ConnectResult::TimedOut);

    std::atomic<bool> abandon{false};
    SocketField late{platform::createTcpSocket()};
    std::thread stopper([&] {
        std::this_thread::sleep_for(50ms);
        abandon = true;
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::connectIpv4(late, address.sin_addr.s_addr, port, Deadline::never(),
                                    &abandon),
              platform::ConnectResult::Abandoned);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    stopper.join();
    platform::closeSocket(late);
    for (auto& filler : fillers) platform::closeSocket(filler);
    ::close(listener);
}

}  // namespace
}  // namespace ambro::net
