#include <gtest/gtest.h>

#include <cstring>

#include "platform/ByteOrder.h"
#include "playback/PlaybackReplies.h"
#include "tests/support/FakePlaybackServer.h"

namespace ambro::playback {
namespace {

using platform::storeLe16;
using platform::storeLe32;
using test::Bytes;
using test::playbackMessage;

void appendLe16(Bytes& bytes, std::uint16_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value));
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
}

void appendLe32(Bytes& bytes, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(value >> shift));
}

Bytes openReply(std::uint32_t handle, std::uint16_t announcedKeys, std::size_t keysPresent) {
    Bytes reply = playbackMessage(0, 0, 72);
    storeLe16(reply.data() + 64, announcedKeys);
    storeLe32(reply.data() + 68, handle);
    Bytes information(76, 0);
    storeLe32(information.data() + 4, 704);
    storeLe32(information.data() + 8, 576);
    storeLe32(information.data() + 72, 250);
    reply.insert(reply.end(), information.begin(), information.end());
    for (std::size_t i = 0; i < keysPresent; ++i) appendLe16(reply, static_cast<std::uint16_t>(10 * i));
    return reply;
}

Bytes dayReply(std::uint16_t announced, std::size_t present) {
    Bytes reply = playbackMessage(5, 2, 68);
    storeLe16(reply.data() + 66, announced);
    for (std::size_t i = 0; i < present; ++i) appendLe32(reply, static_cast<std::uint32_t>(101000000 + i));
    return reply;
}

TEST(PlaybackReplies, OpenReplyReadsFileInformationAndKeyFrames) {
    const auto reply = parseOpenReply(openReply(9, 3, 3));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->fileHandle, 9u);
    EXPECT_EQ(reply->information.width, 704u);
    EXPECT_EQ(reply->information.height, 576u);
    EXPECT_EQ(reply->information.frameCount, 250u);
    EXPECT_EQ(reply->keyFrames, (std::vector<std::uint16_t>{0, 10, 20}));
    // A handle of 0 carries nothing more.
    const auto failed = parseOpenReply(playbackMessage(0, 0, 72));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->fileHandle, 0u);
}

TEST(PlaybackReplies, ListsAreCutToTheirRoomAndToTheMessage) {
    struct Case {
        const char* name;
        std::size_t parsed;
        std::size_t expected;
    };
    const Case cases[] = {
        {"2013 key frames announced and sent", parseOpenReply(openReply(1, 2013, 2013))->keyFrames.size(), 2012},
        {"5 key frames announced, 2 sent", parseOpenReply(openReply(1, 5, 2))->keyFrames.size(), 2},
        {"8178 time codes", parseDayReply(dayReply(8178, 8178))->timeCodes.size(), 8177},
        {"9 codes announced, 4 sent", parseDayReply(dayReply(9, 4))->timeCodes.size(), 4},
    };
    for (const auto& c : cases) EXPECT_EQ(c.parsed, c.expected) << c.name;
}

TEST(PlaybackReplies, CameraReplyTakesDaysBehindTheBlockUpToTheFirstZero) {
    Bytes reply = playbackMessage(5, 17, 128);
    reply[64] = 5;
    storeLe16(reply.data() + 66, 3);
    std::memcpy(reply.data() + 72, "Lobby", 5);
    storeLe32(reply.data() + 108, 0xABCD);
    reply.insert(reply.end(), 5, 0xEE);
    for (std::uint32_t day : {20240101u, 0u, 20240105u}) appendLe32(reply, day);
    const auto camera = parseCameraReply(reply);
    ASSERT_TRUE(camera);
    EXPECT_EQ(camera->name, "Lobby");
    EXPECT_EQ(camera->databaseReference, 0xABCDu);
    EXPECT_EQ(camera->days, (std::vector<std::uint32_t>{20240101}));

    // A name filling its 36 bytes without a terminator is cut there.
    std::memset(reply.data() + 72, 'N', 36);
    EXPECT_EQ(parseCameraReply(reply)->name, std::string(36, 'N'));
}

TEST(PlaybackReplies, FileReplyRefusesPathsThatDoNotFitTheirField) {
    const auto withPath = [](std::uint16_t announced, std::size_t sent) {
        Bytes reply = playbackMessage(5, 8, 68);
        storeLe16(reply.data() + 66, announced);
        reply.insert(reply.end(), sent, 'p');
        return reply;
    };
    EXPECT_EQ(parseFileReply(withPath(255, 255))->path, std::string(255, 'p'));
    EXPECT_FALSE(parseFileReply(withPath(256, 256)));
    EXPECT_FALSE(parseFileReply(withPath(20, 10)));
}

TEST(PlaybackReplies, ShortMessagesAndOverlongFramesAreRefused) {
    EXPECT_FALSE(parseWorkPathReply(playbackMessage(4, 0, 64)));
    EXPECT_FALSE(parseLoginReply(playbackMessage(4, 4, 103)));
    EXPECT_FALSE(parseCameraReply(playbackMessage(5, 17, 127)));
    EXPECT_FALSE(parseSeekReply(playbackMessage(0, 5, 83)));
    Bytes openWithoutInformation = playbackMessage(0, 0, 72);
    storeLe32(openWithoutInformation.data() + 68, 1);
    EXPECT_FALSE(parseOpenReply(openWithoutInformation));

    Bytes frame = test::frameMessage(Bytes(100, 0x42));
    ASSERT_TRUE(framePayload(frame));
    EXPECT_EQ(framePayload(frame)->size(), 100u);
    storeLe32(frame.data() + 72, 101);
    EXPECT_FALSE(framePayload(frame));
    storeLe32(frame.data() + 72, 0xFFFFFFFF);
    EXPECT_FALSE(framePayload(frame));
}

}  // namespace
}  // namespace ambro::playback
