#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "live/LiveNavigator.h"
#include "platform/ByteOrder.h"

namespace ambro::live {
namespace {

constexpr std::uint8_t kNormal = 0, kInactive = 1, kLost = 2;

// The camera table of an 8200 server with cameras 1..count present, minus
// `missing` (1-based numbers).
CameraListModel cameraList(int count, std::uint32_t viewWord, std::vector<int> missing = {}) {
    std::vector<std::uint8_t> table(CameraListModel::tableSize(8200), 0);
    for (int camera = 0; camera < count; ++camera) {
        if (std::find(missing.begin(), missing.end(), camera + 1) != missing.end()) continue;
        const std::string name = "Cam" + std::to_string(camera + 1);
        std::memcpy(table.data() + camera * 64, name.data(), name.size());
        platform::storeLe32(table.data() + 32 * 64 + camera * 4, 1);
    }
    return CameraListModel::fromCameraTable(table, 8200, viewWord);
}

CameraStatusTable allStatus(std::uint8_t status) {
    CameraStatusTable table;
    table.fill(status);
    return table;
}

// The picture as last drawn: 2 x 2 cells of 100 x 80 from (10, 20).
const PixelRect kPicture{10, 20, 200, 160};
// Points in the cells of the 2 x 2 grid over kPicture, and of a 4 x 4 one.
constexpr std::pair<int, int> kQuad[] = {{60, 60}, {160, 60}, {60, 140}, {160, 140}};
std::pair<int, int> sixteenth(int cell) {
    return {10 + (cell % 4) * 50 + 25, 20 + (cell / 4) * 40 + 20};
}

class Navigator : public testing::Test {
protected:
    // Selects a position as the window does with an action's position.
    void follow(const NavigatorAction& action) {
        if (action.selectPosition) navigator.selected(*action.selectPosition);
    }
    void show(int position, const CameraStatusTable& status) {
        navigator.selected(position);
        navigator.cells().onVideoHeader(status);
    }
    NavigatorAction tapCell(int x, int y, bool rotated = false) {
        const NavigatorAction action = navigator.tap(x, y, kPicture, rotated);
        follow(action);
        return action;
    }

    LiveNavigator navigator;
};

TEST_F(Navigator, TapOnACellWithoutVideoDoesNothing) {
    navigator.setCameraList(cameraList(4, 0x1));
    auto status = allStatus(kNormal);
    status[1] = kLost;
    status[2] = kInactive;
    show(4, status);
    for (int cell : {1, 2}) {
        const NavigatorAction action =
            navigator.tap(kQuad[cell].first, kQuad[cell].second, kPicture, false);
        EXPECT_FALSE(action.selectPosition) << cell;
        EXPECT_EQ(navigator.position(), 4);
        EXPECT_EQ(navigator.tapReturnPosition(), -1);
    }
    // Each tap only went in and out of full-screen mode.
    EXPECT_FALSE(navigator.fullScreen());
}

TEST_F(Navigator, TapOpensACameraAndTheNextTapReturnsToTheView) {
    navigator.setCameraList(cameraList(4, 0x1));
    show(4, allStatus(kNormal));

    NavigatorAction open = tapCell(kQuad[3].first, kQuad[3].second);
    EXPECT_EQ(open.selectPosition, 3);
    EXPECT_EQ(open.showBottomControls, true);  // full screen entered and left again
    EXPECT_TRUE(open.waitCursor);
    EXPECT_FALSE(navigator.fullScreen());
    EXPECT_EQ(navigator.tapReturnPosition(), 4);

    // Anywhere on the picture, even outside every cell.
    NavigatorAction back = tapCell(1, 1);
    EXPECT_EQ(back.selectPosition, 4);
    EXPECT_EQ(back.showBottomControls, false);
    EXPECT_TRUE(navigator.fullScreen());
    EXPECT_EQ(navigator.tapReturnPosition(), -1);

    // In full screen: a tap leaves it and opens the cell under it.
    navigator.cells().onVideoHeader(allStatus(kNormal));
    NavigatorAction again = tapCell(kQuad[0].first, kQuad[0].second);
    EXPECT_EQ(again.selectPosition, 0);
    EXPECT_EQ(again.showBottomControls, true);
    EXPECT_FALSE(again.waitCursor);
    EXPECT_FALSE(navigator.fullScreen());
}

TEST_F(Navigator, TapOnASingleCameraOnlyTogglesFullScreen) {
    navigator.setCameraList(cameraList(4, 0x1));
    show(2, allStatus(kNormal));
    const NavigatorAction in = tapCell(60, 60);
    EXPECT_EQ(in, (NavigatorAction{std::nullopt, true, false, true}));
    EXPECT_TRUE(navigator.fullScreen());
    const NavigatorAction out = tapCell(60, 60);
    EXPECT_EQ(out, (NavigatorAction{std::nullopt, true, true, false}));
    EXPECT_FALSE(navigator.fullScreen());
}

TEST_F(Navigator, RotatedTapsFollowTheRotatedTable) {
    navigator.setCameraList(cameraList(4, 0x1));
    show(4, allStatus(kNormal));
    // Top left of a turned 2 x 2 picture shows cell 2.
    EXPECT_EQ(tapCell(kQuad[0].first, kQuad[0].second, true).selectPosition, 2);
}

TEST_F(Navigator, Second16ViewOpensTheCameraSixteenHigher) {
    navigator.setCameraList(cameraList(32, 0xF));
    show(35, allStatus(kNormal));
    const auto [x, y] = sixteenth(0);
    EXPECT_EQ(tapCell(x, y).selectPosition, 16);  // camera 17
    EXPECT_EQ(navigator.cameraList().cameraAt(navigator.position()), 16);
    // The same 4 x 4 table applies when rotated: top left shows cell 12.
    tapCell(1, 1);
    navigator.cells().onVideoHeader(allStatus(kNormal));
    const auto [rx, ry] = sixteenth(0);
    tapCell(rx, ry, true);
    EXPECT_EQ(navigator.cameraList().cameraAt(navigator.position()), 16 + 12);
}

TEST_F(Navigator, Second16ViewWithFewerCamerasOpensOnlyPresentOnes) {
    // Cameras 1 to 20 without camera 18: the list has 19 cameras.
    navigator.setCameraList(cameraList(20, 0xC, {18}));
    const int second16 = *navigator.cameraList().positionOfView(ViewKind::Second16Channel);
    show(second16, allStatus(kNormal));
    for (int cell : {1, 4, 15}) {  // cameras 18, 21, 32
        const auto [x, y] = sixteenth(cell);
        EXPECT_FALSE(navigator.tap(x, y, kPicture, false).selectPosition) << cell;
        navigator.tap(x, y, kPicture, false);  // out of full screen again
    }
    const auto [x, y] = sixteenth(2);
    EXPECT_EQ(tapCell(x, y).selectPosition, 17);
    EXPECT_EQ(navigator.cameraList().cameraAt(17), 18);  // camera 19
}

TEST_F(Navigator, MissingCamerasDoNotShiftTheCells) {
    // Cameras 1 and 3: cell 2 of the 2 x 2 view is camera 3 at position 1.
    navigator.setCameraList(cameraList(3, 0x1, {2}));
    show(2, allStatus(kNormal));
    EXPECT_EQ(tapCell(kQuad[2].first, kQuad[2].second).selectPosition, 1);
}

TEST_F(Navigator, ArrowKeysMoveTheHighlightInAViewOnly) {
    navigator.setCameraList(cameraList(16, 0x4));
    show(16, allStatus(kNormal));
    ASSERT_EQ(navigator.cells().selected(), 0);
    std::vector<int> cells;
    for (int key : {LiveNavigator::kKeyDown, LiveNavigator::kKeyDown, LiveNavigator::kKeyRight,
                    LiveNavigator::kKeyUp, LiveNavigator::kKeyLeft}) {
        EXPECT_TRUE(navigator.arrowKey(key).repaint);
        cells.push_back(navigator.cells().selected());
    }
    EXPECT_EQ(cells, (std::vector<int>{4, 8, 9, 5, 4}));
    // One camera shown: the highlight is cleared.
    navigator.selected(3);
    navigator.cells().setSelected(2);
    navigator.arrowKey(LiveNavigator::kKeyRight);
    EXPECT_EQ(navigator.cells().selected(), -1);
}

TEST_F(Navigator, ShortEnterOpensTheHighlightedCameraAndReturns) {
    navigator.setCameraList(cameraList(32, 0xF));
    show(33, allStatus(kNormal));  // 9 Channel
    navigator.cells().setSelected(7);
    NavigatorAction open = navigator.shortEnter();
    EXPECT_EQ(open.selectPosition, 7);
    follow(open);
    EXPECT_EQ(navigator.keyReturnPosition(), 33);
    NavigatorAction back = navigator.shortEnter();
    EXPECT_EQ(back.selectPosition, 33);
    follow(back);
    EXPECT_EQ(navigator.keyReturnPosition(), -1);

    // In "17~32" the highlighted cell is the camera 16 higher.
    show(35, allStatus(kNormal));
    navigator.cells().setSelected(3);
    EXPECT_EQ(navigator.shortEnter().selectPosition, 19);

    // One camera without a view to go back to: nothing.
    LiveNavigator single;
    single.setCameraList(cameraList(4, 0x1));
    single.selected(1);
    EXPECT_FALSE(single.shortEnter().selectPosition);
    EXPECT_EQ(single.keyReturnPosition(), -1);
}

TEST_F(Navigator, ShortEnterSkipsCamerasMissingFromTheList) {
    navigator.setCameraList(cameraList(20, 0x8, {18}));
    show(*navigator.cameraList().positionOfView(ViewKind::Second16Channel), allStatus(kNormal));
    navigator.cells().setSelected(1);  // camera 18
    EXPECT_FALSE(navigator.shortEnter().selectPosition);
    navigator.cells().setSelected(2);  // camera 19, position 17
    EXPECT_EQ(navigator.shortEnter().selectPosition, 17);
}

TEST_F(Navigator, ANewListForgetsTheWayBack) {
    navigator.setCameraList(cameraList(4, 0x1));
    show(4, allStatus(kNormal));
    tapCell(kQuad[1].first, kQuad[1].second);
    ASSERT_EQ(navigator.tapReturnPosition(), 4);
    navigator.setCameraList(cameraList(4, 0x1));
    EXPECT_EQ(navigator.tapReturnPosition(), -1);
    EXPECT_EQ(navigator.position(), -1);
    EXPECT_FALSE(navigator.currentView());
}

}  // namespace
}  // namespace ambro::live
