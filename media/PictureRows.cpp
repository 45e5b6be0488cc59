#include "media/PictureRows.h"

#include <cstring>

namespace ambro::media {

// From the last row up, so that no row is overwritten before it is copied.
void doubleRows(std::uint8_t* picture, std::size_t stride, int rows) {
    for (int row = rows - 1; row >= 0; --row) {
        const std::uint8_t* source = picture + static_cast<std::size_t>(row) * stride;
        std::memcpy(picture + static_cast<std::size_t>(2 * row + 1) * stride, source, stride);
        if (row > 0) std::memcpy(picture + static_cast<std::size_t>(2 * row) * stride, source, stride);
    }
}

void copyEvenRows(std::uint8_t* picture, std::size_t stride, int rows) {
    for (int row = 0; row + 1 < rows; row += 2) {
        std::memcpy(picture + static_cast<std::size_t>(row + 1) * stride,
                    picture + static_cast<std::size_t>(row) * stride, stride);
    }
}

}  // namespace ambro::media
