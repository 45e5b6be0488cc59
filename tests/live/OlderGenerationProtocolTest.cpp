#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "live/CommandMailbox.h"
#include "live/CredentialBlock.h"
#include "live/FrameRing.h"
#include "live/SessionChannel.h"
#include "live/SessionError.h"
#include "platform/ByteOrder.h"
#include "platform/TcpSocket.h"

namespace ambro::live {
namespace {

using namespace std::chrono_literals;

TEST(CredentialBlock, EachByteRaisedAsTheServersDoInDoublePrecision) {
    struct Case {
        std::uint8_t base;
        std::int32_t modulus;
        std::uint32_t exponent;
        std::int32_t power;
    };
    for (const Case& c : {Case{97, 3233, 17, 1632}, Case{0, 3233, 17, 0}, Case{1, 5, 0, 1},
                          Case{7, 1, 3, 0},
                          // Beyond 2^26 the squares are rounded as doubles round
                          // them, not computed exactly (that would be 1641723619).
                          Case{255, 2147483647, 65537, 1541363005}}) {
        EXPECT_EQ(exponentiate(c.base, c.modulus, c.exponent), c.power) << int(c.base);
    }
    const auto block = exponentiateCredentials(credentialBlock("admin", "pw"), 3233, 17);
    EXPECT_EQ(platform::loadLe32(block.data()), 1632u);            // 'a'
    EXPECT_EQ(platform::loadLe32(block.data() + 4 * 5), 0u);       // the zero after "admin"
    EXPECT_EQ(platform::loadLe32(block.data() + 4 * 32), 612u);    // 'p'
    EXPECT_EQ(platform::loadLe32(block.data() + 4 * 33), 1107u);   // 'w'
    // A name longer than its field is cut to 32 bytes.
    EXPECT_EQ(credentialBlock(std::string(40, 'u'), "")[31], 'u');
    EXPECT_EQ(credentialBlock(std::string(40, 'u'), "")[32], 0);
}

TEST(SessionError, DisconnectMessagesByGroup) {
    EXPECT_EQ(disconnectMessage(SessionError::GetRequestDataCommandError).text(),
              "Disconnect\nDisconnected");
    EXPECT_EQ(disconnectMessage(SessionError::NameOrPasswordError).text(),
              "Disconnect\nName Or Password Error, Re-Connect Again");
    EXPECT_EQ(disconnectMessage(SessionError::GetIoInputStatusError).text(), "Disconnect");
    EXPECT_STREQ(sessionErrorText(SessionError::SendVideoRequestCommandError),
                 "Send Video Request Cmd Err");
}

// A session channel over a local socket pair, the test writing the server's
// side by hand.
class Channel : public testing::Test {
protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        client = ends[0];
        peer = ends[1];
    }
    void TearDown() override {
        platform::closeSocket(client);
        ::close(peer);
    }
    void serverSends(std::int32_t status, std::int32_t length, std::size_t bytes = 0) {
        std::vector<std::uint8_t> message(8 + bytes, 0x61);
        platform::storeLe32(message.data(), static_cast<std::uint32_t>(status));
        platform::storeLe32(message.data() + 4, static_cast<std::uint32_t>(length));
        ASSERT_EQ(::send(peer, message.data(), message.size(), 0),
                  static_cast<ssize_t>(message.size()));
    }

    platform::SocketField client{platform::kNoSocket};
    int peer = -1;
};

TEST_F(Channel, LengthsOutsideTheLimitFailWithoutBeingRead) {
    SessionChannel channel(client);
    serverSends(255, 40951, 40951);
    ASSERT_TRUE(channel.receiveMessage(Deadline::after(2s)));
    EXPECT_EQ(channel.payload().size(), 40951u);
    EXPECT_EQ(channel.payload().data()[40951], 0);  // the terminating zero
    for (const std::int32_t length : {40952, -1, 0x7FFFFFFF}) {
        serverSends(255, length);
        EXPECT_FALSE(channel.receiveMessage(Deadline::after(2s))) << length;
    }
}

TEST_F(Channel, MessagesGoOutWithCodeAndLength) {
    SessionChannel channel(client);
    const std::uint8_t payload[] = {1, 2, 3};
    ASSERT_TRUE(channel.sendMessage(14, payload, Deadline::after(2s)));
    std::uint8_t bytes[11] = {};
    ASSERT_EQ(::recv(peer, bytes, sizeof bytes, MSG_WAITALL), 11);
    EXPECT_EQ(platform::loadLe32(bytes), 14u);
    EXPECT_EQ(platform::loadLe32(bytes + 4), 3u);
    EXPECT_EQ(bytes[10], 3);
    EXPECT_FALSE(channel.sendMessage(14, std::vector<std::uint8_t>(40952), Deadline::after(2s)));
}

TEST(CommandMailbox, APostIsTakenOnceAndAStaleOneIsReplacedUnderTheLock) {
    CommandMailbox mailbox;
    std::atomic<bool> running{true};
    CommandBlock sent;
    EXPECT_EQ(mailbox.take(sent), CommandMailbox::Take::Nothing);
    std::thread session([&] {
        for (int i = 0; i < 2000 && mailbox.take(sent) != CommandMailbox::Take::Taken; ++i) {
            std::this_thread::sleep_for(1ms);
        }
        mailbox.finish(true);
    });
    ASSERT_TRUE(mailbox.post(CommandBlock::withWords(14, {5}), running));
    session.join();
    EXPECT_EQ(sent.code, 14);
    EXPECT_EQ(sent.word(0), 5);
    EXPECT_EQ(sent.length, 4);
    EXPECT_FALSE(mailbox.pending());
    EXPECT_TRUE(mailbox.lastServed());

    // Nobody takes the first block: after its wait the second replaces it.
    ASSERT_TRUE(mailbox.post(CommandBlock::withWords(22, {75, 1}), running));
    ASSERT_TRUE(mailbox.post(CommandBlock::withWords(26, {1}), running));
    ASSERT_EQ(mailbox.take(sent), CommandMailbox::Take::Taken);
    EXPECT_EQ(sent.code, 26);
    // A block whose reply never came ends as failed for whoever waits on it.
    mailbox.finish(false);
    EXPECT_FALSE(mailbox.pending());
    EXPECT_FALSE(mailbox.lastServed());
}

TEST(FrameRing, HoldsThirtyTwoFramesAndHandsThemOverInOrder) {
    FrameRing ring;
    for (std::uint32_t i = 0; i < FrameRing::kSlots; ++i) {
        ASSERT_FALSE(ring.full());
        ring.writeSlot().length = i + 1;
        ring.publish();
    }
    EXPECT_TRUE(ring.full());
    std::uint32_t length = 0;
    EXPECT_TRUE(ring.consumeFront([&](FrameRing::Slot& slot) { length = slot.length; }));
    EXPECT_EQ(length, 1u);
    EXPECT_FALSE(ring.full());
    ring.reset();
    EXPECT_TRUE(ring.empty());
    EXPECT_FALSE(ring.consumeFront([](FrameRing::Slot&) {}));
}

}  // namespace
}  // namespace ambro::live
