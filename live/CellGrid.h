#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "live/PixelRect.h"

namespace ambro::live {

// The cells of an n x n multi-camera picture (n = 2, 3 or 4): their
// rectangles, the cell order of a picture turned 90 degrees clockwise, the
// highlight, taps and arrow-key moves. Cells are numbered row by row.
namespace cell_grid {

inline constexpr int kHighlightThickness = 2;

bool supported(int n);

// Cell (row r, column c) spans x + c*(w/n) .. x + (c+1)*(w/n) and
// y + r*(h/n) .. y + (r+1)*(h/n), integer divisions.
PixelRect cellRect(const PixelRect& area, int n, int cell);
std::vector<PixelRect> cellRects(const PixelRect& area, int n);

// The rotated tables: position k (row * n + column) of the turned picture
// shows cell rotatedCell(n, k) of the upright one.
std::span<const int> rotatedTable(int n);
int rotatedCell(int n, int position);
// The position of the turned picture where an upright cell is shown.
int rotatedPosition(int n, int cell);

// A selected cell brought into the grid: above the last cell gives 0, below
// 0 gives the last cell.
int clampCell(int n, int cell);

// The cell rectangle to outline for the selected cell (clamped, and at its
// turned position when rotated) in picture coordinates.
PixelRect highlightRect(const PixelRect& picture, int n, int selected, bool rotated);
// The four strips of a border drawn inside a rectangle: top, bottom, left,
// right.
std::array<PixelRect, 4> borderStrips(const PixelRect& rect,
                                      int thickness = kHighlightThickness);

// The cell under a tap on the picture drawn at `screen`; nullopt outside.
std::optional<int> cellAt(const PixelRect& screen, int n, int x, int y, bool rotated);

// Arrow keys over the cells whose bit is set in `mask`; each wraps round.
// Right and Left scan the cells 0 to 15; Down and Up go through the grid
// column by column. The selected cell stays when no bit is set.
int nextRight(int selected, std::uint32_t mask);
int nextLeft(int selected, std::uint32_t mask);
int nextDown(int n, int selected, std::uint32_t mask);
int nextUp(int n, int selected, std::uint32_t mask);

// The cells of the grid in column order: 2 x 2 gives 0, 2, 1, 3.
std::vector<int> columnOrder(int n);

}  // namespace cell_grid

}  // namespace ambro::live
