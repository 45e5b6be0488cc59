#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/CameraList.h"
#include "net/IoNames.h"
#include "platform/ByteOrder.h"

namespace ambro::net {
namespace {

using platform::storeLe16;
using platform::storeLe32;

ServerDescription describedServer(std::int32_t kind) {
    ServerDescription description{};
    storeLe32(description.data() + 4, static_cast<std::uint32_t>(kind));
    for (int camera = 0; camera < 32; ++camera) {
        const std::string name = "Cam " + std::to_string(camera + 1);
        std::memcpy(description.data() + 28 + camera * 44 + 12, name.data(), name.size());
    }
    return description;
}

std::vector<std::string> listed(const CameraList& list) {
    std::vector<std::string> entries;
    for (const auto& camera : list.cameras) {
        entries.push_back(std::to_string(camera.number) + ":" + camera.name);
    }
    return entries;
}

struct CameraCase {
    const char* name;
    friend void PrintTo(const CameraCase& c, std::ostream* out) { *out << c.name; }
    std::int32_t kind;
    std::uint32_t mask;
    ServerKind remembered;
    std::vector<std::string> cameras;
    std::uint32_t firstMask;
};

class CameraListFilling : public testing::TestWithParam<CameraCase> {};

TEST_P(CameraListFilling, FollowsTheServerKind) {
    const CameraCase& c = GetParam();
    const CameraList list = CameraList::fromServer(c.mask, describedServer(c.kind));
    EXPECT_EQ(list.kind, c.remembered);
    EXPECT_EQ(listed(list), c.cameras);
    EXPECT_EQ(list.firstCameraMask, c.firstMask);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CameraListFilling,
    testing::Values(
        CameraCase{
            "Kind51OwnNames", 51, 0b1010, ServerKind::ReducedButtons, {"2:Cam 2", "4:Cam 4"}, 0b10},
        CameraCase{"Kind62SharesFirstName",
                   62,
                   0b1110,
                   ServerKind::SharedCameraName,
                   {"2:Cam 1", "3:Cam 1", "4:Cam 1"},
                   0b10},
        CameraCase{"Kind62IgnoresBitZero", 62, 0b1, ServerKind::SharedCameraName, {}, 0},
        CameraCase{"OtherKindRememberedAs999",
                   7,
                   0x80000001u,
                   ServerKind::Other,
                   {"1:Cam 1", "32:Cam 32"},
                   0b1},
        CameraCase{"NoCameras", 51, 0, ServerKind::ReducedButtons, {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CameraListFilling, UnterminatedNameStopsAtTheRecordEnd) {
    ServerDescription description = describedServer(51);
    std::memset(description.data() + 28 + 12, 'N', 32);  // camera 1 fills its name field
    const CameraList list = CameraList::fromServer(0b11, description);
    ASSERT_EQ(list.cameras.size(), 2u);
    EXPECT_EQ(list.cameras[0].name, std::string(32, 'N'));
    EXPECT_EQ(list.cameras[1].name, "Cam 2");
}

struct IoCase {
    const char* name;
    friend void PrintTo(const IoCase& c, std::ostream* out) { *out << c.name; }
    std::uint32_t inputFlag;
    std::uint32_t outputFlag;
    std::uint16_t count;
    bool present;
    std::size_t inputs;
    std::size_t outputs;
};

class IoNameReading : public testing::TestWithParam<IoCase> {};

TEST_P(IoNameReading, ListsFollowTheirFlagsAndTheSharedCount) {
    const IoCase& c = GetParam();
    ServerInformation information{};
    storeLe32(information.data() + 4, c.inputFlag);
    storeLe32(information.data() + 8, c.outputFlag);
    ServerDescription description{};
    storeLe16(description.data() + 14, c.count);
    for (int i = 0; i < 16; ++i) {
        const std::string input = "In" + std::to_string(i);
        const std::string output = "Out" + std::to_string(i);
        std::memcpy(description.data() + 1372 + i * 32, input.data(), input.size());
        std::memcpy(description.data() + 1900 + i * 32, output.data(), output.size());
    }
    const IoNames names = IoNames::fromServer(information, description);
    EXPECT_EQ(names.present, c.present);
    ASSERT_EQ(names.inputNames.size(), c.inputs);
    ASSERT_EQ(names.outputNames.size(), c.outputs);
    if (c.inputs > 0) {
        EXPECT_EQ(names.inputNames.back(), "In" + std::to_string(c.inputs - 1));
    }
    if (c.outputs > 0) {
        EXPECT_EQ(names.outputNames.back(), "Out" + std::to_string(c.outputs - 1));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flags, IoNameReading,
    testing::Values(IoCase{"NoFlagsAbsent", 0, 0, 8, false, 0, 0},
                    IoCase{"InputsOnly", 1, 0, 4, true, 4, 0},
                    IoCase{"OutputsOnly", 0, 5, 3, true, 0, 3},
                    IoCase{"BothLists", 1, 1, 16, true, 16, 16},
                    IoCase{"HugeCountCutTo16", 1, 1, 300, true, 16, 16}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IoNameReading, NameIsCutTo16Characters) {
    ServerInformation information{};
    storeLe32(information.data() + 4, 1);
    ServerDescription description{};
    storeLe16(description.data() + 14, 1);
    std::memset(description.data() + 1372, 'A', 32);
    const IoNames names = IoNames::fromServer(information, description);
    ASSERT_EQ(names.inputNames.size(), 1u);
    EXPECT_EQ(names.inputNames[0], std::string(16, 'A'));
}

}  // namespace
}  // namespace ambro::net
