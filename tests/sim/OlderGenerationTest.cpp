// The older-generation live server: greeting, the control connection through
// the client's TwoPortConnection, and the request/reply protocol with its
// stream through a small test client.
#include <gtest/gtest.h>

#include "platform/ByteOrder.h"
#include "tests/sim/OlderClient.h"
#include "tests/sim/SimHarness.h"
#include "tests/support/DecoderHarness.h"

namespace ambro::test {
namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kFinal = 255;

class OlderGeneration : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(client.greeted());
        ASSERT_TRUE(client.openControl("admin", "1234"));
        const auto last = client.logIn("admin", "1234");
        ASSERT_TRUE(last);
        ASSERT_EQ(last->status, kFinal);
    }

    // Selects, sizes and starts a stream; the pictures it sends.
    std::vector<OlderClient::Picture> stream(std::int32_t selection, std::int32_t size,
                                             bool rotated, int count) {
        std::vector<OlderClient::Picture> pictures;
        const auto selected = client.request(14, OlderClient::word(selection));
        if (!selected || selected->status != kFinal) return pictures;
        lastSelection = *selected;
        if (client.request(26, OlderClient::word(size))->status != kFinal) return pictures;
        if (client.request(27, OlderClient::word(rotated ? 1 : 0))->status != kFinal) return pictures;
        if (!client.send(36)) return pictures;
        for (int i = 0; i < count; ++i) {
            auto picture = client.receivePicture();
            if (!picture) break;
            pictures.push_back(std::move(*picture));
        }
        return pictures;
    }

    static DecodedPicture decodeAll(const std::vector<OlderClient::Picture>& pictures, int width,
                                    int height, DecoderHarness& decoder) {
        for (const auto& picture : pictures) EXPECT_EQ(decoder.decode(picture.payload), 0);
        return {width, height, decoder.picture()};
    }

    SimHarness sim;
    OlderClient client{sim.olderPort()};
    OlderClient::Message lastSelection;
};

TEST_F(OlderGeneration, GreetingNamesTheControlPortsAndTheLogInSucceeds) {
    EXPECT_EQ(client.greeting()[0], 0x11223344u);
    EXPECT_EQ(client.greeting()[2], *sim.simulator().ports().olderCommand);
    EXPECT_EQ(client.greeting()[3], *sim.simulator().ports().olderData);
    EXPECT_EQ(client.control().serverVersion(), 8300);
    EXPECT_EQ(client.version(), 8300);
    EXPECT_EQ(client.viewWord(), 0b0111u);  // 2 x 2, 3 x 3 and cameras 1 to 16
}

TEST_F(OlderGeneration, CameraListHasSixtyFourEntries) {
    const auto list = client.request(5);
    ASSERT_TRUE(list);
    ASSERT_EQ(list->payload.size(), 64u * 68u);
    const auto& catalogue = sim.installation().cameras();
    for (int i = 0; i < 64; ++i) {
        const std::string name(reinterpret_cast<const char*>(list->payload.data()) + 64 * i);
        const bool present = platform::loadLe32(list->payload.data() + 64 * 64 + 4 * i) == 1;
        EXPECT_EQ(present, catalogue.exists(i));
        EXPECT_EQ(name, catalogue.exists(i) ? catalogue.camera(i).name : "");
    }
}

TEST_F(OlderGeneration, CameraStatusShowsTheLostAndTheRecordingCamera) {
    const auto status = client.request(32);
    ASSERT_TRUE(status);
    ASSERT_EQ(status->payload.size(), 64u);
    EXPECT_EQ(status->payload[0], 0);   // Normal
    EXPECT_EQ(status->payload[1], 3);   // Recording
    EXPECT_EQ(status->payload[7], 2);   // Lost
    EXPECT_EQ(status->payload[20], 1);  // no such camera: Inactive
}

TEST_F(OlderGeneration, AlarmPollAnswersWithMasksAndTime) {
    const auto alarm = client.request(20);
    ASSERT_TRUE(alarm);
    EXPECT_EQ(alarm->status, kFinal);
    EXPECT_EQ(alarm->payload.size(), 38u);
}

struct StreamCase {
    const char* name;
    std::int32_t selection;  // camera index or view code
    std::int32_t sizeIndex;
    bool rotated;
    int width;               // of the picture on the wire
    int height;
    bool flip;
    int maskedCell;          // the cell of the masked camera, -1 for none
    int grid;
    bool lost = false;       // a blue "VIDEO LOST" screen
};

void PrintTo(const StreamCase& c, std::ostream* out) {
    *out << c.name;
}

class OlderStreams : public OlderGeneration, public testing::WithParamInterface<StreamCase> {};

TEST_P(OlderStreams, PicturesDecodeWithinTheSlot) {
    const StreamCase& c = GetParam();
    const auto pictures = stream(c.selection, c.sizeIndex, c.rotated, 5);
    ASSERT_EQ(pictures.size(), 5u);
    for (const auto& picture : pictures) EXPECT_LE(picture.payload.size(), 16384u);
    DecoderHarness decoder(c.width, c.height);
    const DecodedPicture decoded = decodeAll(pictures, c.width, c.height, decoder);
    EXPECT_TRUE(decoder.decoder().pictureProduced());
    EXPECT_TRUE(decoder.guardIntact());
    EXPECT_EQ(decoder.decoder().verticalFlip(), c.flip);
    if (c.lost) {
        EXPECT_GT(decoded.blueness(0, c.height), 80);
    } else if (!c.rotated && c.grid == 1) {
        EXPECT_TRUE(upright(decoded));
    }
    if (c.maskedCell >= 0) {
        const auto cell = sim::PictureSynthesiser::viewCell(c.grid, c.maskedCell, c.width, c.height);
        const auto masks = sim.installation().synthesiser().masksIn(3, cell);
        ASSERT_FALSE(masks.empty());
        for (const auto& mask : masks) EXPECT_TRUE(decoded.blackInside(mask)) << mask.x << "," << mask.y;
    }
    // A request ends the stream; its reply comes after the last packets.
    const auto reply = client.request(32);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, kFinal);
}

INSTANTIATE_TEST_SUITE_P(
    CamerasAndViews, OlderStreams,
    testing::Values(StreamCase{"DomeCamera176x144", 0, 1, false, 176, 144, false, -1, 1},
                    StreamCase{"MaskedCamera320x240", 3, 0, false, 320, 240, false, 0, 1},
                    StreamCase{"FlipTailCamera160x120", 6, 2, false, 160, 120, true, -1, 1},
                    StreamCase{"LostCamera", 7, 1, false, 176, 144, false, -1, 1, true},
                    StreamCase{"Rotated144x176", 1, 1, true, 144, 176, false, -1, 1},
                    StreamCase{"View2x2", 32, 0, false, 320, 240, false, 3, 2},
                    StreamCase{"View3x3", 33, 1, false, 176, 144, false, 3, 3},
                    StreamCase{"View4x4", 34, 0, false, 320, 240, false, 3, 4}),
    [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST_F(OlderGeneration, SelectionRepliesDescribeTheCamera) {
    stream(1, 1, false, 0);
    EXPECT_EQ(lastSelection.word(0), 1u);         // current camera
    EXPECT_EQ(lastSelection.word(1), 1u);         // a dome
    EXPECT_EQ(lastSelection.word(4), 1u);         // sound
    EXPECT_EQ(lastSelection.word(5), 0x0BFFu);    // every dome button, monitoring, I/O
    EXPECT_EQ(lastSelection.word(6), 32u);        // presets
    client.request(32);
    stream(34, 1, false, 0);
    EXPECT_EQ(lastSelection.word(0), 34u);
    EXPECT_EQ(lastSelection.word(1), 0u);
}

TEST_F(OlderGeneration, CameraWithSoundSendsAudioFirst) {
    const auto pictures = stream(1, 1, false, 2);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_TRUE(pictures[0].audioBefore);
}

TEST_F(OlderGeneration, TimeStampsFollowTheRecordingPace) {
    const auto pictures = stream(0, 1, false, 11);
    ASSERT_EQ(pictures.size(), 11u);
    const auto millisecondsOf = [](const Bytes& stamp) {
        const auto field = [&](int i) { return platform::loadLe16(stamp.data() + 2 * i); };
        return ((field(4) * 60 + field(5)) * 60 + field(6)) * 1000 + field(7);
    };
    const int span = millisecondsOf(pictures[10].timestamp) - millisecondsOf(pictures[0].timestamp);
    EXPECT_GE(span, 350);
    EXPECT_LE(span, 600);
}

TEST_F(OlderGeneration, PresetOnTheControlConnectionMovesThePicture) {
    DecoderHarness before(176, 144);
    const DecodedPicture first = decodeAll(stream(0, 1, false, 3), 176, 144, before);
    const auto poll = client.control().cameraCommand(0, 0, 0, 3);
    ASSERT_TRUE(poll);
    EXPECT_EQ(poll->answer, 1);  // the dome answers
    const auto preset = client.control().cameraCommand(46 + 5, 0, 0, 3);
    ASSERT_TRUE(preset);
    EXPECT_EQ(preset->answer, 1);
    client.request(32);
    DecoderHarness after(176, 144);
    const DecodedPicture moved = decodeAll(stream(0, 1, false, 3), 176, 144, after);
    EXPECT_GT(meanDifference(first, moved), 20.0);
}

TEST_F(OlderGeneration, ForcedOutputIsLogged) {
    const auto poll = client.control().channelCommand(1, 0);
    ASSERT_TRUE(poll);
    EXPECT_EQ(poll->answer, 1);  // module 2 answers
    ASSERT_TRUE(client.control().channelCommand(1, 33));
    EXPECT_TRUE(sim.waitForLog("output 3 (Cam Light 2) of module 2 forced on", 5s));
    const auto states = client.control().channelCommand(1, 0);
    ASSERT_TRUE(states);
    EXPECT_EQ(states->followingBytes[0] & 0x04, 0x04);  // the output's state
    const auto absent = client.control().channelCommand(7, 0);
    ASSERT_TRUE(absent);
    EXPECT_EQ(absent->answer, 0);  // no module 8
}

TEST_F(OlderGeneration, FinestQualityStillFitsTheSlot) {
    ASSERT_EQ(client.request(22, {100, 0, 0, 0, 1, 0, 0, 0})->status, kFinal);
    const auto pictures = stream(34, 0, false, 10);
    ASSERT_EQ(pictures.size(), 10u);
    DecoderHarness decoder(320, 240);
    for (const auto& picture : pictures) {
        EXPECT_LE(picture.payload.size(), 16384u);
        EXPECT_EQ(decoder.decode(picture.payload), 0);
    }
    EXPECT_TRUE(decoder.decoder().pictureProduced());
}

}  // namespace
}  // namespace ambro::test
