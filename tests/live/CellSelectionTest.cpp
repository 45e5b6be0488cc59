#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "live/CellSelection.h"

namespace ambro::live {
namespace {

constexpr std::uint8_t kNormal = 0, kInactive = 1, kLost = 2, kRecording = 3, kConnectionLost = 4;

// Cameras given by number (1-based) with their status; all others Inactive.
CameraStatusTable statusOf(std::initializer_list<std::pair<int, std::uint8_t>> cameras) {
    CameraStatusTable table;
    table.fill(kInactive);
    for (const auto& [camera, status] : cameras) table[camera - 1] = status;
    return table;
}

TEST(VideoPresentMask, ReducedToTheView) {
    const auto status = statusOf({{1, kNormal}, {2, kLost}, {3, kNormal}, {4, kRecording},
                                  {5, kConnectionLost}, {10, kNormal}, {17, kNormal},
                                  {20, kRecording}, {32, 9}});
    struct Case {
        std::optional<ViewKind> view;
        std::uint32_t mask;
    };
    for (const Case& c : {Case{std::nullopt, 0x9020Du}, Case{ViewKind::FourChannel, 0xDu},
                          Case{ViewKind::NineChannel, 0xDu}, Case{ViewKind::First16Channel, 0x20Du},
                          Case{ViewKind::Second16Channel, 0x9u}}) {
        EXPECT_EQ(videoPresentMask(status, c.view), c.mask)
            << (c.view ? viewName(*c.view) : "single camera");
    }
}

// One video header after another, each step with the view shown, a cell
// set by the user first when given, and the cells expected after it.
struct Step {
    std::optional<ViewKind> view;
    CameraStatusTable status;
    std::optional<int> userCell;
    int selected;
    int saved;
};

void run(const std::vector<Step>& steps) {
    CellSelection cells;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& step = steps[i];
        cells.setView(step.view);
        if (step.userCell) cells.setSelected(*step.userCell);
        cells.onVideoHeader(step.status);
        EXPECT_EQ(cells.selected(), step.selected) << "step " << i;
        EXPECT_EQ(cells.saved(), step.saved) << "step " << i;
        EXPECT_EQ(cells.mask(), videoPresentMask(step.status, step.view)) << "step " << i;
    }
}

TEST(SelectedCell, FirstPictureSelectsTheLowestCameraWithVideo) {
    const auto none = statusOf({});
    const auto twoAndThree = statusOf({{2, kNormal}, {3, kRecording}});
    const auto highOnly = statusOf({{18, kNormal}});
    run({{ViewKind::FourChannel, none, std::nullopt, -1, -1},
         {ViewKind::FourChannel, twoAndThree, std::nullopt, 1, -1},
         // A selected cell stays while the once-only rule has not run.
         {ViewKind::FourChannel, statusOf({{1, kNormal}}), std::nullopt, 1, -1}});
    // A single camera whose cameras with video are all above 16: cell 0.
    run({{std::nullopt, highOnly, std::nullopt, 0, -1}});
}

TEST(SelectedCell, First16ClearsOnceThenSecond16KeepsTheCellAside) {
    const auto status = statusOf({{1, kNormal}, {3, kNormal}, {19, kNormal}, {21, kRecording}});
    run({
        // Before "1~16" was seen with a cell, "17~32" changes nothing.
        {ViewKind::Second16Channel, status, 5, 5, -1},
        // The first time in "1~16": cleared once, then chosen afresh.
        {ViewKind::First16Channel, status, 4, -1, -1},
        {ViewKind::First16Channel, status, std::nullopt, 0, -1},
        {ViewKind::First16Channel, status, 1, 1, -1},
        // "17~32": the cell is saved and replaced by camera 19's cell.
        {ViewKind::Second16Channel, status, std::nullopt, 2, 1},
        {ViewKind::Second16Channel, status, 4, 4, 1},
        // Any other view gives the saved cell back.
        {ViewKind::NineChannel, status, std::nullopt, 1, -1},
        {ViewKind::NineChannel, status, std::nullopt, 1, -1},
    });
}

TEST(SelectedCell, Second16WithoutVideoKeepsTheCell) {
    const auto low = statusOf({{1, kNormal}, {2, kNormal}});
    run({{ViewKind::First16Channel, low, 1, -1, -1},
         {ViewKind::First16Channel, low, 1, 1, -1},
         {ViewKind::Second16Channel, statusOf({{20, kLost}}), std::nullopt, 1, 1},
         {std::nullopt, low, std::nullopt, 1, -1}});
}

// The session thread writes while the interface thread moves the cell and
// reads; under the thread sanitizer this shows any unguarded field.
TEST(SelectedCell, SessionAndInterfaceThreadsShareIt) {
    CellSelection cells;
    cells.setView(ViewKind::First16Channel);
    const auto status = statusOf({{2, kNormal}, {7, kNormal}});
    std::atomic<bool> done{false};
    std::thread session([&] {
        for (int i = 0; i < 20000; ++i) cells.onVideoHeader(status);
        done = true;
    });
    int reads = 0;
    while (!done && reads < 1000000) {
        const int selected = cells.selected();
        EXPECT_GE(selected, -1);
        EXPECT_LE(selected, 15);
        cells.setSelected(reads % 16);
        ++reads;
    }
    session.join();
    EXPECT_EQ(cells.mask(), (1u << 1) | (1u << 6));
}

}  // namespace
}  // namespace ambro::live
