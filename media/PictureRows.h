#pragma once

#include <cstddef>
#include <cstdint>

namespace ambro::media {

// Row operations on a decoded picture whose rows are `stride` bytes apart.

// Each of the first `rows` rows becomes two: row r is copied to rows 2r and
// 2r + 1, so a field (or a half-height picture) fills twice its height.
void doubleRows(std::uint8_t* picture, std::size_t stride, int rows);

// Row 2i + 1 becomes a copy of row 2i, over `rows` rows: pictures that the
// servers send with every other row left empty.
void copyEvenRows(std::uint8_t* picture, std::size_t stride, int rows);

}  // namespace ambro::media
