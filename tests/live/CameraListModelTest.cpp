#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "live/CameraListModel.h"
#include "platform/ByteOrder.h"

namespace ambro::live {
namespace {

using Names = std::vector<std::string>;

// A camera table of the layout `version` asks for, with the given cameras
// (0-based index -> name) present.
std::vector<std::uint8_t> cameraTable(int version, const std::map<int, std::string>& present) {
    std::vector<std::uint8_t> table(CameraListModel::tableSize(version), 0);
    const int entries = CameraListModel::tableEntries(version);
    for (const auto& [camera, name] : present) {
        std::memcpy(table.data() + camera * 64, name.data(),
                    std::min<std::size_t>(name.size(), 64));
        platform::storeLe32(table.data() + entries * 64 + camera * 4, 1);
    }
    return table;
}

std::map<int, std::string> firstCameras(int count) {
    std::map<int, std::string> cameras;
    for (int camera = 0; camera < count; ++camera) {
        cameras[camera] = "Cam" + std::to_string(camera + 1);
    }
    return cameras;
}

struct ViewWordCase {
    const char* name;
    std::uint32_t viewWord;
    Names views;                 // the view entries behind the cameras
    std::optional<int> initial;  // position of the initial selection
};

class ViewWords : public testing::TestWithParam<ViewWordCase> {};

TEST_P(ViewWords, AddViewsAndChooseTheInitialSelection) {
    const ViewWordCase& c = GetParam();
    const auto model = CameraListModel::fromCameraTable(
        cameraTable(8200, {{0, "Door"}, {1, "Yard"}, {3, "Hall"}}), 8200, c.viewWord);
    Names expected = {"Door", "Yard", "Hall"};
    expected.insert(expected.end(), c.views.begin(), c.views.end());
    EXPECT_EQ(model.names(), expected);
    EXPECT_EQ(model.cameraCount(), 3);
    EXPECT_EQ(model.initialSelection(), c.initial);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ViewWords,
    testing::Values(
        ViewWordCase{"NoViewsNoSelection", 0, {}, std::nullopt},
        ViewWordCase{"Bits2And3StartOnFirst16", 0xC, {"1~16 Channel", "17~32 Channel"}, 3},
        ViewWordCase{"AllViewsStartOnFirst16", 0xF,
                     {"4 Channel", "9 Channel", "1~16 Channel", "17~32 Channel"}, 5},
        ViewWordCase{"FourOnlyStartsOnIt", 0x1, {"4 Channel"}, 3},
        ViewWordCase{"FourAndNineStartOnTheLast", 0x3, {"4 Channel", "9 Channel"}, 4},
        // Without "1~16" the entry before "17~32" is no view: "17~32" itself.
        ViewWordCase{"Second16AloneStartsOnIt", 0x8, {"17~32 Channel"}, 3},
        ViewWordCase{"NineAndSecond16StartOnSecond16", 0xA, {"9 Channel", "17~32 Channel"}, 4},
        ViewWordCase{"HigherBitsIgnored", 0xF0, {}, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CameraTable, LayoutFollowsTheServerVersion) {
    EXPECT_EQ(CameraListModel::tableEntries(8299), 32);
    EXPECT_EQ(CameraListModel::tableEntries(8300), 64);
    EXPECT_EQ(CameraListModel::tableSize(8299), 2176u);
    EXPECT_EQ(CameraListModel::tableSize(8300), 4352u);

    const auto large = cameraTable(8300, {{0, "First"}, {40, "Forty-one"}});
    const auto model = CameraListModel::fromCameraTable(large, 8300, 0);
    EXPECT_EQ(model.names(), (Names{"First", "Forty-one"}));
    EXPECT_EQ(model.cameraAt(1), 40);
    // Read with the small layout, the same bytes have no presence flags
    // where the small table keeps them.
    EXPECT_EQ(CameraListModel::fromCameraTable(large, 8299, 0).size(), 0);
}

TEST(CameraTable, HostileTablesStayInBounds) {
    // Only a flag of 1 marks a present camera.
    auto table = cameraTable(8200, {{0, "One"}, {1, "Two"}});
    platform::storeLe32(table.data() + 32 * 64 + 4, 2);
    EXPECT_EQ(CameraListModel::fromCameraTable(table, 8200, 0).names(), (Names{"One"}));

    // A name that fills its 64 bytes is cut there.
    const auto full = cameraTable(8200, {{2, std::string(64, 'N')}, {3, "Next"}});
    EXPECT_EQ(CameraListModel::fromCameraTable(full, 8200, 0).names(),
              (Names{std::string(64, 'N'), "Next"}));

    // A short reply: what is missing reads as absent.
    const auto cut = std::span(table).first(32 * 64 + 4);
    EXPECT_EQ(CameraListModel::fromCameraTable(cut, 8200, 0x1).names(),
              (Names{"One", "4 Channel"}));
    EXPECT_EQ(CameraListModel::fromCameraTable({}, 8300, 0).size(), 0);
}

TEST(CameraSelection, CamerasByTableIndexViewsByTheirCode) {
    // Cameras 1, 2 and 5 present; only the two 16-camera views offered.
    const auto model = CameraListModel::fromCameraTable(
        cameraTable(8200, {{0, "A"}, {1, "B"}, {4, "E"}}), 8200, 0xC);
    struct Case {
        int position;
        std::int32_t payload;
    };
    // The view codes follow the view, not the position behind the cameras.
    for (const Case& c : {Case{0, 0}, Case{1, 1}, Case{2, 4}, Case{3, 34}, Case{4, 35}}) {
        const auto selection = model.selectionFor(c.position);
        ASSERT_TRUE(selection) << c.position;
        EXPECT_EQ(selection->payload, c.payload) << c.position;
        EXPECT_EQ(selection->position, c.position);
    }
    EXPECT_FALSE(model.selectionFor(-1));
    EXPECT_FALSE(model.selectionFor(5));
    EXPECT_EQ(model.viewAt(3), ViewKind::First16Channel);
    EXPECT_FALSE(model.viewAt(2));
}

TEST(CameraSelection, ViewCellsOpenTheCameraTheyShow) {
    // Cameras 1 to 20 without camera 18, all four views.
    auto cameras = firstCameras(20);
    cameras.erase(17);
    const auto model = CameraListModel::fromCameraTable(cameraTable(8200, cameras), 8200, 0xF);
    struct Case {
        ViewKind view;
        int cell;
        std::optional<int> position;
    };
    for (const Case& c : {Case{ViewKind::FourChannel, 3, 3}, Case{ViewKind::NineChannel, 8, 8},
                          Case{ViewKind::First16Channel, 15, 15},
                          Case{ViewKind::Second16Channel, 0, 16},            // camera 17
                          Case{ViewKind::Second16Channel, 1, std::nullopt},  // camera 18 missing
                          Case{ViewKind::Second16Channel, 2, 17},            // camera 19
                          Case{ViewKind::Second16Channel, 4, std::nullopt},  // camera 21: none
                          Case{ViewKind::FourChannel, 4, std::nullopt},      // no such cell
                          Case{ViewKind::First16Channel, -1, std::nullopt}}) {
        EXPECT_EQ(model.positionOfCell(c.view, c.cell), c.position)
            << viewName(c.view) << " cell " << c.cell;
    }
}

TEST(CameraSelection, CurrentGenerationMasksFollowTheCameraNumber) {
    const auto model = CameraListModel::fromCameras(
        {{2, "Second"}, {5, "Fifth"}, {32, "Last"}, {0, "Bad"}, {33, "Bad"}});
    EXPECT_EQ(model.names(), (Names{"Second", "Fifth", "Last"}));
    EXPECT_EQ(model.initialSelection(), 0);
    // Not 1 << position: cameras 1, 3 and 4 are missing.
    EXPECT_EQ(model.selectionFor(0)->channelMask, 1u << 1);
    EXPECT_EQ(model.selectionFor(1)->channelMask, 1u << 4);
    EXPECT_EQ(model.selectionFor(2)->channelMask, 1u << 31);
    EXPECT_FALSE(CameraListModel::fromCameras({}).initialSelection());
}

}  // namespace
}  // namespace ambro::live
