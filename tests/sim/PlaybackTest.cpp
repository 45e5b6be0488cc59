// The playback server through a small client written from the protocol.
#include <gtest/gtest.h>

#include "tests/sim/PlaybackClient.h"
#include "tests/sim/SimHarness.h"
#include "tests/support/DecoderHarness.h"
#include "tools/sim/LocalTime.h"

namespace ambro::test {
namespace {

using namespace std::chrono_literals;
using Message = PlaybackClient::Message;

constexpr std::uint32_t kReferenceOffset = 108;

class Playback : public testing::Test {
protected:
    void SetUp() override {
        const auto path = client.workPath();
        ASSERT_TRUE(path);
        EXPECT_EQ(path->bytes[0], 25);
        const auto login = client.logIn("admin", "1234");
        ASSERT_TRUE(login);
        ASSERT_EQ(login->bytes.at(64), 1);
    }

    // The recording days of camera 1, and its database reference.
    std::vector<std::uint32_t> daysOfFirstCamera(std::uint32_t& reference) {
        const auto reply = client.camera(1);
        EXPECT_TRUE(reply);
        if (!reply) return {};
        reference = reply->word32(kReferenceOffset);
        const std::size_t block = reply->bytes.at(64);
        std::vector<std::uint32_t> days;
        for (std::size_t i = 0; i < reply->word16(66); ++i) days.push_back(reply->word32(128 + block + 4 * i));
        return days;
    }

    // Opens the 08:00 file of camera 1's oldest day.
    std::optional<Message> openMorningFile(std::uint32_t& day, Bytes& fileTime) {
        std::uint32_t reference = 0;
        const auto days = daysOfFirstCamera(reference);
        if (days.empty()) return std::nullopt;
        day = days.front();
        fileTime = PlaybackClient::dateTime(static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100),
                                            static_cast<int>(day % 100), 8, 0, 0, 1);
        const auto file = client.file(reference, fileTime);
        if (!file) return std::nullopt;
        return client.open(file->text(68, file->word16(66)));
    }

    std::vector<Message> frames(std::uint32_t handle, const Bytes& fileTime, std::uint16_t first,
                                int count) {
        std::vector<Message> received;
        if (!client.requestFrames(handle, fileTime, first, count)) return received;
        while (static_cast<int>(received.size()) < count) {
            auto message = client.receive();
            if (!message) break;
            if (message->group() == 0 && message->command() == 3) received.push_back(std::move(*message));
        }
        return received;
    }

    static Bytes pictureOf(const Message& frame) {
        return Bytes(frame.bytes.begin() + 128, frame.bytes.begin() + 128 + frame.word32(72));
    }

    SimHarness sim;
    PlaybackClient client{sim.playbackPort()};
};

TEST_F(Playback, CameraRepliesNameEveryCameraAndItsDays) {
    const auto& catalogue = sim.installation().cameras();
    for (int number = 1; number <= 10; ++number) {
        const auto reply = client.camera(number);
        ASSERT_TRUE(reply);
        const bool exists = catalogue.exists(number - 1);
        EXPECT_EQ(reply->text(72, 36), exists ? catalogue.camera(number - 1).name : "");
        EXPECT_EQ(reply->word16(66) > 0, exists);
    }
    std::uint32_t reference = 0;
    const auto days = daysOfFirstCamera(reference);
    ASSERT_GE(days.size(), 2u);
    EXPECT_TRUE(std::is_sorted(days.begin(), days.end()));
    const auto today = sim::dayNumberOf(sim::localDateTime(sim::Clock::now()));
    EXPECT_LE(days.back(), today);
}

TEST_F(Playback, DayListsAnHourlyFileAndTheFileOpens) {
    std::uint32_t reference = 0;
    const std::uint32_t day = daysOfFirstCamera(reference).front();
    const auto codes = client.day(day, reference);
    ASSERT_TRUE(codes);
    ASSERT_EQ(codes->word16(66), 24);  // a whole past day
    EXPECT_EQ(codes->word32(68 + 4 * 8), 100000000u + day % 100 * 1000000u + 80000u);

    std::uint32_t opened = 0;
    Bytes fileTime;
    const auto open = openMorningFile(opened, fileTime);
    ASSERT_TRUE(open);
    ASSERT_NE(open->word32(68), 0u);
    const std::size_t keys = open->word16(64);
    EXPECT_EQ(keys, 500u);
    EXPECT_EQ(open->word32(72 + 4), 352u);
    EXPECT_EQ(open->word32(72 + 8), 288u);
    EXPECT_EQ(open->word32(72 + 72), 15000u);
    const auto first = sim::DateTime::fromBytes(open->bytes.data() + 72 + 40);
    EXPECT_EQ(sim::dayNumberOf(first), day);
    EXPECT_EQ(first.hour, 8);
    EXPECT_EQ(first.minute, 0);
    for (std::size_t i = 0; i < keys; ++i) EXPECT_EQ(open->word16(148 + 2 * i), 30 * i);
}

TEST_F(Playback, UnknownFileDoesNotOpen) {
    const auto open = client.open("/rec/ch01/19991231/080000.m4v");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->word32(68), 0u);
}

// Frames are answered as fast as they are asked for, as a recorder reading
// its disk does: the client paces what it shows.
TEST_F(Playback, RequestedFramesComeAndDecode) {
    std::uint32_t day = 0;
    Bytes fileTime;
    const auto open = openMorningFile(day, fileTime);
    ASSERT_TRUE(open);
    const auto received = frames(open->word32(68), fileTime, 0, 6);
    ASSERT_EQ(received.size(), 6u);
    DecoderHarness decoder(352, 288);
    for (std::size_t i = 0; i < received.size(); ++i) {
        EXPECT_EQ(received[i].word32(68), i);
        EXPECT_EQ(decoder.decode(pictureOf(received[i])), 0);
    }
    EXPECT_TRUE(decoder.decoder().pictureProduced());
    EXPECT_TRUE(upright({352, 288, decoder.picture()}));
}

TEST_F(Playback, SeekFindsTheFrameAndAKeyPictureComesOutTheSameAnyWay) {
    std::uint32_t day = 0;
    Bytes fileTime;
    const auto open = openMorningFile(day, fileTime);
    ASSERT_TRUE(open);
    const std::uint32_t handle = open->word32(68);
    const auto target = PlaybackClient::dateTime(static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100),
                                                 static_cast<int>(day % 100), 8, 3, 0, 0);
    const auto sought = client.seek(handle, target);
    ASSERT_TRUE(sought);
    const std::uint32_t index = sought->word32(64);
    EXPECT_EQ(index, 3u * 60u * 25u);

    const auto direct = frames(handle, fileTime, static_cast<std::uint16_t>(index), 1);
    ASSERT_EQ(direct.size(), 1u);
    const auto throughGroup = frames(handle, fileTime, static_cast<std::uint16_t>(index - 30), 10);
    const auto rest = frames(handle, fileTime, static_cast<std::uint16_t>(index - 20), 10);
    const auto last = frames(handle, fileTime, static_cast<std::uint16_t>(index - 10), 10);
    const auto again = frames(handle, fileTime, static_cast<std::uint16_t>(index), 1);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(pictureOf(direct[0]), pictureOf(again[0]));
    DecoderHarness decoder(352, 288);
    EXPECT_EQ(decoder.decode(pictureOf(direct[0])), 0);
    EXPECT_TRUE(decoder.decoder().pictureProduced());
}

TEST(PlaybackRecordingSize, D1OnRequest) {
    SimHarness sim([](sim::SimOptions& options) { options.recordingSize = sim::RecordingSize::D1; });
    PlaybackClient client(sim.playbackPort());
    ASSERT_TRUE(client.workPath());
    ASSERT_EQ(client.logIn("admin", "1234")->bytes.at(64), 1);
    const auto camera = client.camera(2);
    ASSERT_TRUE(camera);
    const std::uint32_t day = camera->word32(128 + camera->bytes.at(64));
    const Bytes fileTime = PlaybackClient::dateTime(static_cast<int>(day / 10000), static_cast<int>(day / 100 % 100),
                                                    static_cast<int>(day % 100), 10, 0, 0, 2);
    const auto file = client.file(camera->word32(kReferenceOffset), fileTime);
    ASSERT_TRUE(file);
    const auto open = client.open(file->text(68, file->word16(66)));
    ASSERT_TRUE(open);
    EXPECT_EQ(open->word32(72 + 4), 704u);
    EXPECT_EQ(open->word32(72 + 8), 576u);
    ASSERT_TRUE(client.requestFrames(open->word32(68), fileTime, 0, 1));
    const auto frame = client.receive();
    ASSERT_TRUE(frame);
    DecoderHarness decoder(704, 576);
    EXPECT_EQ(decoder.decode(Bytes(frame->bytes.begin() + 128, frame->bytes.end())), 0);
    EXPECT_TRUE(decoder.decoder().pictureProduced());
}

}  // namespace
}  // namespace ambro::test
