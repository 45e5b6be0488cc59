#include <gtest/gtest.h>

#include <vector>

#include "live/CellGrid.h"

namespace ambro::live {
namespace {

namespace grid = cell_grid;

TEST(CellGrid, RectanglesUseIntegerDivisions) {
    const PixelRect area{5, 10, 230, 173};
    struct Case {
        int n;
        int cell;
        PixelRect rect;
    };
    for (const Case& c : {Case{2, 0, {5, 10, 115, 86}}, Case{2, 3, {120, 96, 115, 86}},
                          Case{3, 4, {81, 67, 76, 57}}, Case{3, 8, {157, 124, 76, 57}},
                          Case{4, 6, {119, 53, 57, 43}}, Case{4, 15, {176, 139, 57, 43}}}) {
        EXPECT_EQ(grid::cellRect(area, c.n, c.cell), c.rect) << c.n << "x" << c.n << " " << c.cell;
    }
    EXPECT_EQ(grid::cellRects(area, 3).size(), 9u);
    EXPECT_TRUE(grid::cellRects(area, 5).empty());
}

// A picture turned 90 degrees clockwise: the tables as the grids give them,
// checked by taps on each turned position and by where a cell's highlight
// lands.
struct RotationCase {
    int n;
    std::vector<int> table;
};

class RotatedTables : public testing::TestWithParam<RotationCase> {};

TEST_P(RotatedTables, MapTapsAndHighlights) {
    const int n = GetParam().n;
    const auto& table = GetParam().table;
    ASSERT_EQ(static_cast<int>(table.size()), n * n);
    const PixelRect screen{7, 3, 120 * n, 90 * n};
    for (int position = 0; position < n * n; ++position) {
        const int row = position / n, column = position % n;
        // Turning clockwise puts upright cell (r, c) at row c, column n-1-r.
        const int upright = table[position];
        EXPECT_EQ(upright / n, n - 1 - column);
        EXPECT_EQ(upright % n, row);

        const int x = screen.x + column * 120 + 60, y = screen.y + row * 90 + 45;
        EXPECT_EQ(grid::cellAt(screen, n, x, y, true), upright) << "position " << position;
        EXPECT_EQ(grid::cellAt(screen, n, x, y, false), position);
        EXPECT_EQ(grid::highlightRect(screen, n, upright, true),
                  grid::cellRect(screen, n, position));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Grids, RotatedTables,
    testing::Values(RotationCase{2, {2, 0, 3, 1}}, RotationCase{3, {6, 3, 0, 7, 4, 1, 8, 5, 2}},
                    RotationCase{4, {12, 8, 4, 0, 13, 9, 5, 1, 14, 10, 6, 2, 15, 11, 7, 3}}),
    [](const auto& info) {
        return std::to_string(info.param.n) + "x" + std::to_string(info.param.n);
    });

TEST(CellGrid, HighlightClampsAndDrawsTwoPixelStrips) {
    const PixelRect picture{0, 0, 176, 144};
    struct Case {
        int n;
        int selected;
        bool rotated;
        PixelRect rect;
    };
    for (const Case& c : {Case{2, 3, false, {88, 72, 88, 72}}, Case{2, 4, false, {0, 0, 88, 72}},
                          Case{2, -1, false, {88, 72, 88, 72}}, Case{2, 0, true, {88, 0, 88, 72}},
                          Case{3, 9, false, {0, 0, 58, 48}}, Case{4, -5, true, {0, 108, 44, 36}}}) {
        EXPECT_EQ(grid::highlightRect(picture, c.n, c.selected, c.rotated), c.rect)
            << c.n << " " << c.selected << " " << c.rotated;
    }
    const auto strips = grid::borderStrips({10, 20, 50, 40});
    EXPECT_EQ(strips[0], (PixelRect{10, 20, 50, 2}));
    EXPECT_EQ(strips[1], (PixelRect{10, 58, 50, 2}));
    EXPECT_EQ(strips[2], (PixelRect{10, 20, 2, 40}));
    EXPECT_EQ(strips[3], (PixelRect{58, 20, 2, 40}));
}

TEST(CellGrid, TapsOutsideTheCellsFindNothing) {
    // 101 / 2 leaves the last column of pixels outside every cell.
    const PixelRect screen{10, 10, 101, 80};
    EXPECT_EQ(grid::cellAt(screen, 2, 10, 10, false), 0);
    EXPECT_EQ(grid::cellAt(screen, 2, 109, 89, false), 3);
    EXPECT_FALSE(grid::cellAt(screen, 2, 110, 50, false));
    EXPECT_FALSE(grid::cellAt(screen, 2, 9, 50, false));
    EXPECT_FALSE(grid::cellAt(screen, 2, 50, 90, false));
    EXPECT_FALSE(grid::cellAt(screen, 1, 50, 50, false));
}

std::vector<int> presses(int (*key)(int, std::uint32_t), int from, std::uint32_t mask, int count) {
    std::vector<int> cells;
    for (int cell = from; count-- > 0;) cells.push_back(cell = key(cell, mask));
    return cells;
}

std::vector<int> columnPresses(int (*key)(int, int, std::uint32_t), int n, int from,
                               std::uint32_t mask, int count) {
    std::vector<int> cells;
    for (int cell = from; count-- > 0;) cells.push_back(cell = key(n, cell, mask));
    return cells;
}

TEST(CellKeys, RightAndLeftScanTheSetCellsAndWrap) {
    const std::uint32_t mask = (1u << 1) | (1u << 4) | (1u << 15);
    EXPECT_EQ(presses(grid::nextRight, -1, mask, 4), (std::vector<int>{1, 4, 15, 1}));
    EXPECT_EQ(presses(grid::nextLeft, -1, mask, 4), (std::vector<int>{15, 4, 1, 15}));
    EXPECT_EQ(presses(grid::nextRight, 5, 0, 1), (std::vector<int>{5}));
    EXPECT_EQ(presses(grid::nextLeft, 4, 1u << 4, 1), (std::vector<int>{4}));
}

TEST(CellKeys, UpAndDownGoInColumnOrder) {
    EXPECT_EQ(columnPresses(grid::nextDown, 2, 0, 0xF, 4), (std::vector<int>{2, 1, 3, 0}));
    EXPECT_EQ(columnPresses(grid::nextUp, 2, 0, 0xF, 4), (std::vector<int>{3, 1, 2, 0}));
    EXPECT_EQ(columnPresses(grid::nextDown, 3, 0, 0x1FF, 9),
              (std::vector<int>{3, 6, 1, 4, 7, 2, 5, 8, 0}));
    EXPECT_EQ(columnPresses(grid::nextDown, 4, 0, 0xFFFF, 16),
              (std::vector<int>{4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15, 0}));
    EXPECT_EQ(columnPresses(grid::nextUp, 4, 0, 0xFFFF, 3), (std::vector<int>{15, 11, 7}));
    // Cells without video are skipped: 3 x 3 with cameras 1, 5 and 9.
    const std::uint32_t diagonal = (1u << 0) | (1u << 4) | (1u << 8);
    EXPECT_EQ(columnPresses(grid::nextDown, 3, 0, diagonal, 3), (std::vector<int>{4, 8, 0}));
    EXPECT_EQ(columnPresses(grid::nextUp, 3, -1, diagonal, 2), (std::vector<int>{8, 4}));
    EXPECT_EQ(columnPresses(grid::nextDown, 2, 2, 0, 1), (std::vector<int>{2}));
}

}  // namespace
}  // namespace ambro::live
