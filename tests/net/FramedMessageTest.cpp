#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <cstdint>
#include <vector>

#include "net/FramedMessage.h"
#include "platform/ByteOrder.h"
#include "platform/TcpSocket.h"

namespace ambro::net {
namespace {

using platform::loadLe32;
using platform::storeLe32;

TEST(FramedRequest, HeadFollowsTheBody) {
    FramedRequest request(32, 0xA1B2C3D4);
    EXPECT_EQ(request.bytes().size(), 16u);
    ASSERT_TRUE(request.appendLe32(0x10));
    ASSERT_TRUE(request.appendLe16(0x0203));
    const auto bytes = request.bytes();
    ASSERT_EQ(bytes.size(), 22u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "wAxQ");
    EXPECT_EQ(loadLe32(bytes.data() + 4), 22u);
    EXPECT_EQ(loadLe32(bytes.data() + 8), 32u);
    EXPECT_EQ(loadLe32(bytes.data() + 12), 0xA1B2C3D4u);
    EXPECT_EQ(loadLe32(bytes.data() + 16), 0x10u);
    EXPECT_EQ(bytes[20], 0x03);
    EXPECT_EQ(bytes[21], 0x02);
}

TEST(FramedRequest, RefusesABodyBeyondTheSendBuffer) {
    FramedRequest request(50, 0);
    std::vector<std::uint8_t> body(FramedRequest::kCapacity - 16);
    ASSERT_TRUE(request.appendBytes(body));
    EXPECT_FALSE(request.appendLe16(1));
    EXPECT_EQ(request.bytes().size(), FramedRequest::kCapacity);
}

std::vector<std::uint8_t> replyOfLength(std::uint32_t announced, std::size_t actual) {
    std::vector<std::uint8_t> reply(std::max<std::size_t>(actual, 8));
    for (std::size_t i = 0; i < reply.size(); ++i) reply[i] = static_cast<std::uint8_t>(i);
    std::memcpy(reply.data(), "WaXq", 4);
    storeLe32(reply.data() + 4, announced);
    reply.resize(actual);
    return reply;
}

struct ReplyCase {
    const char* name;
    friend void PrintTo(const ReplyCase& c, std::ostream* out) { *out << c.name; }
    std::uint32_t announced;  // total length in the head
    std::size_t sent;         // bytes the peer sends for this reply
    std::size_t expected;     // the caller's buffer
    ReplyResult result;
    bool streamStaysAligned;  // the next message is read from its first byte
};

class ReadReply : public testing::TestWithParam<ReplyCase> {};

// Each reply is followed by a 4-byte marker; where the stream stays aligned,
// the marker is the next thing read.
TEST_P(ReadReply, AcceptsLongRepliesAndConsumesShortOnes) {
    const ReplyCase& c = GetParam();
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    SocketField client{ends[0]};
    auto stream = replyOfLength(c.announced, c.sent);
    const std::uint8_t marker[4] = {0xDE, 0xAD, 0xBE, 0xEF};
    stream.insert(stream.end(), marker, marker + 4);
    ASSERT_EQ(::send(ends[1], stream.data(), stream.size(), 0), static_cast<ssize_t>(stream.size()));
    ::shutdown(ends[1], SHUT_WR);

    std::vector<std::uint8_t> buffer(c.expected, 0xCC);
    EXPECT_EQ(readReply(client, buffer, platform::Deadline::never()), c.result);
    if (c.result == ReplyResult::Read) {
        EXPECT_EQ(loadLe32(buffer.data() + 4), c.announced);
        const auto sent = replyOfLength(c.announced, c.sent);
        EXPECT_TRUE(std::equal(buffer.begin(), buffer.end(), sent.begin()));
    }
    if (c.streamStaysAligned) {
        std::uint8_t next[4] = {};
        ASSERT_EQ(::recv(client, next, 4, MSG_WAITALL), 4);
        EXPECT_EQ(std::memcmp(next, marker, 4), 0);
    }
    platform::closeSocket(client);
    ::close(ends[1]);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, ReadReply,
    testing::Values(
        ReplyCase{"Exact", 20, 20, 20, ReplyResult::Read, true},
        ReplyCase{"LongerSurplusSkipped", 40, 40, 36, ReplyResult::Read, true},
        ReplyCase{"LargeSurplusSkippedInPieces", 100000, 100000, 24, ReplyResult::Read, true},
        ReplyCase{"ShorterConsumedAndFails", 32, 32, 36, ReplyResult::TooShort, true},
        ReplyCase{"HeadOnlyFails", 8, 8, 20, ReplyResult::TooShort, true},
        ReplyCase{"BelowHeadFails", 4, 8, 20, ReplyResult::BadLength, false},
        ReplyCase{"AbsurdLengthRefused", 0xFFFFFFF0u, 8, 20, ReplyResult::BadLength, false},
        ReplyCase{"PeerClosesMidReply", 64, 30, 64, ReplyResult::Closed, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace ambro::net
