#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ambro::media {

// A privacy-mask rectangle in picture-buffer rows and columns; right and
// bottom are exclusive.
struct MaskRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The rectangles in force, sized like the 10240-byte store the server's list
// is copied into: a 32-byte list head and then 16 bytes a rectangle.
struct MaskStore {
    static constexpr std::size_t kStoreBytes = 10240;
    static constexpr std::size_t kListHeadBytes = 32;
    static constexpr std::size_t kRectBytes = 16;
    static constexpr std::size_t kMaxRects = (kStoreBytes - kListHeadBytes) / kRectBytes;

    std::array<MaskRect, kMaxRects> rects{};
    std::size_t count = 0;
};

}  // namespace ambro::media
