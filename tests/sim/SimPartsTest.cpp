// The simulator's parts against the client's own: dome bytes built from the
// shipped description files, containers read by the client's decoder, the
// credential arithmetic, the command line.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/ByteOrder.h"
#include "ptz/PtzProtocol.h"
#include "tests/sim/SimHarness.h"
#include "tests/support/DecoderHarness.h"
#include "tools/sim/ContainerWriter.h"
#include "tools/sim/DomeCommandDecoder.h"
#include "tools/sim/ModularKey.h"
#include "tools/sim/Mpeg4Encoder.h"
#include "tools/sim/RecordingModel.h"
#include "tools/sim/SimOptions.h"
#include "tools/sim/VolHeaderExtension.h"

namespace ambro::test {
namespace {

using sim::DomeCommand;
using sim::DomeProtocol;

struct DomeModelCase {
    const char* name;
    const char* model;
    DomeProtocol protocol;
};
constexpr DomeModelCase kDomes[] = {{"PelcoD", "Pelco-D", DomeProtocol::PelcoD},
                                    {"PelcoP", "Pelco-P", DomeProtocol::PelcoP},
                                    {"Visca", "VISCA", DomeProtocol::Visca}};

void PrintTo(const DomeModelCase& c, std::ostream* out) {
    *out << c.model;
}

// Every command of a packet, decoded as the dome would.
std::vector<std::optional<DomeCommand>> decodePacket(const ptz::PtzPacket& packet, DomeProtocol protocol) {
    std::vector<std::optional<DomeCommand>> commands;
    for (std::size_t at = 0; at + 2 <= packet.length;) {
        const std::size_t length = packet.bytes[at + 1];
        commands.push_back(sim::DomeCommandDecoder::decode(
            protocol, sim::CameraCatalogue::domeAddressCode(protocol),
            std::span(packet.bytes).subspan(at + 2, length)));
        at += 2 + length;
    }
    return commands;
}

struct MotionCase {
    ptz::PtzAction action;
    std::optional<int> pan;
    std::optional<int> tilt;
    std::optional<int> zoom;
    std::optional<int> focus;
};
constexpr MotionCase kMotions[] = {
    {ptz::PtzAction::PanLeft, -1, 0, std::nullopt, std::nullopt},
    {ptz::PtzAction::PanRight, 1, 0, std::nullopt, std::nullopt},
    {ptz::PtzAction::TiltUp, 0, -1, std::nullopt, std::nullopt},
    {ptz::PtzAction::TiltDown, 0, 1, std::nullopt, std::nullopt},
    {ptz::PtzAction::PanStop, 0, 0, std::nullopt, std::nullopt},
    {ptz::PtzAction::ZoomIn, std::nullopt, std::nullopt, 1, std::nullopt},
    {ptz::PtzAction::ZoomOut, std::nullopt, std::nullopt, -1, std::nullopt},
    {ptz::PtzAction::ZoomStop, std::nullopt, std::nullopt, 0, std::nullopt},
    {ptz::PtzAction::FocusNear, std::nullopt, std::nullopt, std::nullopt, -1},
    {ptz::PtzAction::FocusFar, std::nullopt, std::nullopt, std::nullopt, 1},
};

class DomeBytes : public testing::TestWithParam<DomeModelCase> {
protected:
    ptz::PtzProtocol protocol{AMBRO_PTZ_SETUP_DIR, GetParam().model, 1, 3};
};

TEST_P(DomeBytes, MotionCommandsOfTheDescriptionFileMoveTheWayTheyAreNamed) {
    ASSERT_FALSE(protocol.failed());
    for (const MotionCase& motion : kMotions) {
        const auto packet = protocol.packet(motion.action);
        ASSERT_TRUE(packet);
        const auto commands = decodePacket(*packet, GetParam().protocol);
        ASSERT_EQ(commands.size(), 1u) << static_cast<int>(motion.action);
        ASSERT_TRUE(commands[0]) << static_cast<int>(motion.action);
        const DomeCommand& command = *commands[0];
        EXPECT_EQ(command.kind, DomeCommand::Kind::Motion);
        // Pelco commands set every direction at once; only the named ones
        // are compared.
        const auto same = [](std::optional<int> expected, std::optional<int> actual) {
            return !expected || (actual && *actual == *expected);
        };
        EXPECT_TRUE(same(motion.pan, command.pan)) << static_cast<int>(motion.action);
        EXPECT_TRUE(same(motion.tilt, command.tilt)) << static_cast<int>(motion.action);
        EXPECT_TRUE(same(motion.zoom, command.zoom)) << static_cast<int>(motion.action);
        EXPECT_TRUE(same(motion.focus, command.focus)) << static_cast<int>(motion.action);
    }
}

TEST_P(DomeBytes, PresetCommandsNameTheirPreset) {
    for (int index : {0, 2, protocol.presetCount() - 1}) {
        const ptz::PtzPacket go = protocol.presetGo(index);
        const auto goCommands = decodePacket(go, GetParam().protocol);
        ASSERT_EQ(goCommands.size(), 1u);
        ASSERT_TRUE(goCommands[0]);
        EXPECT_EQ(goCommands[0]->kind, DomeCommand::Kind::GoPreset);
        EXPECT_EQ(goCommands[0]->preset, index + 1);
        const ptz::PtzPacket set = protocol.presetSet(index);
        const auto setCommands = decodePacket(set, GetParam().protocol);
        ASSERT_TRUE(setCommands.at(0));
        EXPECT_EQ(setCommands[0]->kind, DomeCommand::Kind::SetPreset);
        EXPECT_EQ(setCommands[0]->preset, index + 1);
    }
}

TEST_P(DomeBytes, AnotherAddressOrABrokenCheckIsIgnored) {
    const auto packet = protocol.packet(ptz::PtzAction::PanLeft);
    ASSERT_TRUE(packet);
    std::vector<std::uint8_t> bytes(packet->bytes.begin() + 2,
                                    packet->bytes.begin() + 2 + packet->bytes[1]);
    const auto decode = [&](const std::vector<std::uint8_t>& b) {
        return sim::DomeCommandDecoder::decode(GetParam().protocol,
                                               sim::CameraCatalogue::domeAddressCode(GetParam().protocol), b);
    };
    ASSERT_TRUE(decode(bytes));
    auto otherAddress = bytes;
    otherAddress[GetParam().protocol == DomeProtocol::Visca ? 0 : 1] += 1;
    EXPECT_FALSE(decode(otherAddress));
    if (GetParam().protocol != DomeProtocol::Visca) {
        auto broken = bytes;
        broken.back() ^= 0x01;
        EXPECT_FALSE(decode(broken));
    }
}

INSTANTIATE_TEST_SUITE_P(ShippedDescriptions, DomeBytes, testing::ValuesIn(kDomes),
                         [](const testing::TestParamInfo<DomeModelCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DomeBytes, ViscaRecallWithTheMemoryNumberInTwoNibbleBytes) {
    // Memory 18 (preset 19) as some clients send it: 8x 01 04 3F 02 01 02.
    const std::vector<std::uint8_t> bytes = {0x81, 0x01, 0x04, 0x3F, 0x02, 0x01, 0x02};
    const auto command = sim::DomeCommandDecoder::decode(DomeProtocol::Visca, 0x81, bytes);
    ASSERT_TRUE(command);
    EXPECT_EQ(command->kind, DomeCommand::Kind::GoPreset);
    EXPECT_EQ(command->preset, 19);
}

TEST(DomeBytes, PelcoScanFunctionsOfTheDescriptionFiles) {
    for (const auto& dome : {kDomes[0], kDomes[1]}) {
        const ptz::PtzProtocol protocol(AMBRO_PTZ_SETUP_DIR, dome.model, 1, 3);
        ASSERT_EQ(protocol.advancedFunctionCount(), 2);
        const auto on = protocol.advancedFunction(0);
        ASSERT_TRUE(on);
        const auto commands = decodePacket(*on, dome.protocol);
        ASSERT_TRUE(commands.at(0));
        EXPECT_EQ(commands[0]->kind, DomeCommand::Kind::AutoScan);
        EXPECT_TRUE(commands[0]->on);
    }
}

struct ContainerCase {
    const char* name;
    sim::ContainerKind kind;
    bool flip;
};

void PrintTo(const ContainerCase& c, std::ostream* out) {
    *out << c.name;
}

class Containers : public testing::TestWithParam<ContainerCase> {};

// A picture of flat halves (light top, dark bottom as seen), masked in two
// places, through every container kind into the client's decoder.
TEST_P(Containers, TheClientReadsTheMasksAndTheOrientation) {
    const int width = 352;
    const int height = 288;
    sim::YuvPicture picture(width, height);
    std::fill(picture.y.begin(), picture.y.begin() + width * height / 2, 200);
    std::fill(picture.y.begin() + width * height / 2, picture.y.end(), 60);
    const std::vector<sim::PixelRect> rects = {{40, 30, 64, 48}, {200, 180, 100, 60}};
    const auto masks = sim::ContainerWriter::masksFor(rects, width, height, GetParam().flip);
    sim::Mpeg4Encoder encoder(width, height);
    DecoderHarness decoder(width, height);
    for (std::uint32_t frame = 0; frame < 4; ++frame) {
        const auto coded = encoder.encode(picture, 4, frame == 0, !GetParam().flip);
        ASSERT_FALSE(coded.bytes.empty());
        std::vector<std::uint8_t> stream = coded.bytes;
        if (GetParam().kind == sim::ContainerKind::ExtendedHeader) {
            stream = sim::VolHeaderExtension::extend(stream);
        }
        ASSERT_EQ(decoder.decode(sim::ContainerWriter::wrap(GetParam().kind, stream, masks, frame)), 0);
    }
    EXPECT_EQ(decoder.decoder().verticalFlip(), GetParam().flip);
    const DecodedPicture decoded{width, height, decoder.picture()};
    EXPECT_GT(decoded.pixel(10, 10)[1], decoded.pixel(10, height - 10)[1]);  // light on top
    for (const auto& rect : rects) {
        EXPECT_TRUE(decoded.blackInside(rect)) << rect.x << "," << rect.y;
        EXPECT_EQ(decoded.blackPixels({rect.x, rect.y - 3, rect.width, 2}), 0);
        EXPECT_EQ(decoded.blackPixels({rect.x, rect.bottom() + 1, rect.width, 2}), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, Containers,
                         testing::Values(
                             ContainerCase{"UnmarkedChained", sim::ContainerKind::UnmarkedChained, false},
                             ContainerCase{"ChecksumMarkerBlocks", sim::ContainerKind::ChecksumMarkerBlocks, false},
                             ContainerCase{"ChecksumMarker", sim::ContainerKind::ChecksumMarker, false},
                             ContainerCase{"NoChecksumMarker", sim::ContainerKind::NoChecksumMarker, false},
                             ContainerCase{"ExtendedHeader", sim::ContainerKind::ExtendedHeader, false},
                             ContainerCase{"FlipTail", sim::ContainerKind::FlipTail, true}),
                         [](const testing::TestParamInfo<ContainerCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ModularKey, ReadsBackWhatTheClientsFloatingPointArithmeticMade) {
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        const sim::ModularKey key(random);
        ASSERT_LT(key.modulus(), 1u << 26);
        Bytes words(256);
        const std::string text = "admin";
        for (std::size_t i = 0; i < 64; ++i) {
            const std::uint8_t byte = i < text.size() ? static_cast<std::uint8_t>(text[i])
                                    : i >= 32 && i < 36 ? static_cast<std::uint8_t>('1' + (i - 32))
                                                        : 0;
            double result = 1;
            for (int bit = 31; bit >= 0; --bit) {
                if (!(key.exponent() >> bit)) continue;
                result = std::fmod(result * result, key.modulus());
                if ((key.exponent() >> bit) & 1) result = std::fmod(byte * result, key.modulus());
            }
            platform::storeLe32(words.data() + 4 * i, static_cast<std::uint32_t>(result));
        }
        const auto credentials = key.decode(words.data(), words.size());
        ASSERT_TRUE(credentials);
        EXPECT_EQ(credentials->user, "admin");
        EXPECT_EQ(credentials->password, "1234");
        platform::storeLe32(words.data(), key.modulus() + 1);  // no byte gives this
        EXPECT_FALSE(key.decode(words.data(), words.size()));
    }
}

struct OptionsCase {
    std::vector<std::string> words;
    bool valid;
};

void PrintTo(const OptionsCase& c, std::ostream* out) {
    *out << "[";
    for (const auto& word : c.words) *out << " " << word;
    *out << " ]";
}

class CommandLine : public testing::TestWithParam<OptionsCase> {};

TEST_P(CommandLine, IsReadOrRefused) {
    std::string error;
    const auto options = sim::SimOptions::parse(GetParam().words, error);
    EXPECT_EQ(options.has_value(), GetParam().valid) << error;
    EXPECT_EQ(error.empty(), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLine,
    testing::Values(OptionsCase{{}, true},
                    OptionsCase{{"--live-current", "0", "--live-older", "off", "--playback", "9000"}, true},
                    OptionsCase{{"--fault", "slow-link", "--fault", "garbage", "--cameras", "32"}, true},
                    OptionsCase{{"--user", "op", "--password", "secret", "--bind", "0.0.0.0"}, true},
                    OptionsCase{{"--recording-size", "d1", "--days", "5", "--verbose"}, true},
                    OptionsCase{{"--live-size", "21"}, true},
                    OptionsCase{{"--live-size", "3"}, false},
                    OptionsCase{{"--fault", "thunder"}, false},
                    OptionsCase{{"--cameras", "33"}, false},
                    OptionsCase{{"--playback", "65536"}, false},
                    OptionsCase{{"--live-current"}, false},
                    OptionsCase{{"--users", "/nonexistent/users", "--user", "a"}, false},
                    OptionsCase{{"--users", "/nonexistent/users"}, false},
                    OptionsCase{{"--recording-size", "4k"}, false},
                    OptionsCase{{"--frobnicate"}, false}),
    [](const testing::TestParamInfo<OptionsCase>& info) {
        return (info.param.valid ? "Valid" : "Refused") + std::to_string(info.index);
    });

TEST(CommandLine, DefaultsAreTheDocumentedOnes) {
    std::string error;
    const auto options = sim::SimOptions::parse({}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->liveCurrentPort, 17860);
    EXPECT_EQ(options->liveOlderPort, 17870);
    EXPECT_EQ(options->playbackPort, 17880);
    EXPECT_EQ(options->bindAddress, "127.0.0.1");
    EXPECT_EQ(options->cameras, 8);
    EXPECT_TRUE(options->users.accepts("admin", "1234"));
}

TEST(RecordingModel, PathsLeadBackToTheirFiles) {
    const sim::CameraCatalogue cameras(8);
    const sim::RecordingModel recordings(cameras, 3);
    const auto now = sim::Clock::now();
    const auto days = recordings.daysOf(2, now);
    ASSERT_FALSE(days.empty());
    for (const auto& file : recordings.filesOf(2, days.front(), now)) {
        const auto found = recordings.fileOfPath(file.path(), now);
        ASSERT_TRUE(found) << file.path();
        EXPECT_EQ(found->start, file.start);
        EXPECT_EQ(found->camera, 2);
    }
    EXPECT_FALSE(recordings.fileOfPath("/rec/ch03/20000101/080000.m4v", now));
    EXPECT_FALSE(recordings.fileOfPath("/rec/ch09/" + std::to_string(days.front()) + "/080000.m4v", now));
    EXPECT_FALSE(recordings.fileOfPath("/etc/passwd", now));
}

}  // namespace
}  // namespace ambro::test
