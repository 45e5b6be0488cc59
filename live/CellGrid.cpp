#include "live/CellGrid.h"

#include <algorithm>

namespace ambro::live::cell_grid {

namespace {

constexpr int kRotated2[] = {2, 0, 3, 1};
constexpr int kRotated3[] = {6, 3, 0, 7, 4, 1, 8, 5, 2};
constexpr int kRotated4[] = {12, 8, 4, 0, 13, 9, 5, 1, 14, 10, 6, 2, 15, 11, 7, 3};
constexpr int kScanCells = 16;

bool has(std::uint32_t mask, int cell) { return cell >= 0 && cell < 32 && ((mask >> cell) & 1u); }

// The next entry after `selected` in `order` whose bit is set, wrapping
// round; a selected cell outside the order starts before its first entry.
int nextInOrder(const std::vector<int>& order, int selected, std::uint32_t mask) {
    const auto found = std::find(order.begin(), order.end(), selected);
    const std::size_t start =
        found == order.end() ? order.size() - 1 : static_cast<std::size_t>(found - order.begin());
    for (std::size_t step = 1; step <= order.size(); ++step) {
        const int cell = order[(start + step) % order.size()];
        if (has(mask, cell)) return cell;
    }
    return selected;
}

std::vector<int> scanOrder() {
    std::vector<int> order(kScanCells);
    for (int cell = 0; cell < kScanCells; ++cell) order[cell] = cell;
    return order;
}

}  // namespace

bool supported(int n) { return n >= 2 && n <= 4; }

PixelRect cellRect(const PixelRect& area, int n, int cell) {
    const int row = cell / n;
    const int column = cell % n;
    const int width = area.width / n;
    const int height = area.height / n;
    return {area.x + column * width, area.y + row * height, width, height};
}

std::vector<PixelRect> cellRects(const PixelRect& area, int n) {
    std::vector<PixelRect> rects;
    if (!supported(n)) return rects;
    for (int cell = 0; cell < n * n; ++cell) rects.push_back(cellRect(area, n, cell));
    return rects;
}

std::span<const int> rotatedTable(int n) {
    switch (n) {
        case 2: return kRotated2;
        case 3: return kRotated3;
        case 4: return kRotated4;
        default: return {};
    }
}

int rotatedCell(int n, int position) {
    const auto table = rotatedTable(n);
    return position >= 0 && position < static_cast<int>(table.size()) ? table[position] : position;
}

int rotatedPosition(int n, int cell) {
    const auto table = rotatedTable(n);
    const auto found = std::find(table.begin(), table.end(), cell);
    return found == table.end() ? cell : static_cast<int>(found - table.begin());
}

int clampCell(int n, int cell) {
    const int last = n * n - 1;
    if (cell > last) return 0;
    if (cell < 0) return last;
    return cell;
}

PixelRect highlightRect(const PixelRect& picture, int n, int selected, bool rotated) {
    if (!supported(n)) return {};
    const int cell = clampCell(n, selected);
    return cellRect(picture, n, rotated ? rotatedPosition(n, cell) : cell);
}

std::array<PixelRect, 4> borderStrips(const PixelRect& rect, int thickness) {
    return {PixelRect{rect.x, rect.y, rect.width, thickness},
            PixelRect{rect.x, rect.y + rect.height - thickness, rect.width, thickness},
            PixelRect{rect.x, rect.y, thickness, rect.height},
            PixelRect{rect.x + rect.width - thickness, rect.y, thickness, rect.height}};
}

std::optional<int> cellAt(const PixelRect& screen, int n, int x, int y, bool rotated) {
    if (!supported(n)) return std::nullopt;
    for (int position = 0; position < n * n; ++position) {
        if (cellRect(screen, n, position).contains(x, y)) {
            return rotated ? rotatedCell(n, position) : position;
        }
    }
    return std::nullopt;
}

int nextRight(int selected, std::uint32_t mask) {
    return nextInOrder(scanOrder(), selected, mask);
}

int nextLeft(int selected, std::uint32_t mask) {
    std::vector<int> order = scanOrder();
    std::reverse(order.begin(), order.end());
    return nextInOrder(order, selected, mask);
}

std::vector<int> columnOrder(int n) {
    std::vector<int> order;
    if (!supported(n)) return order;
    for (int column = 0; column < n; ++column) {
        for (int row = 0; row < n; ++row) order.push_back(row * n + column);
    }
    return order;
}

int nextDown(int n, int selected, std::uint32_t mask) {
    const auto order = columnOrder(n);
    return order.empty() ? selected : nextInOrder(order, selected, mask);
}

int nextUp(int n, int selected, std::uint32_t mask) {
    auto order = columnOrder(n);
    std::reverse(order.begin(), order.end());
    return order.empty() ? selected : nextInOrder(order, selected, mask);
}

}  // namespace ambro::live::cell_grid
