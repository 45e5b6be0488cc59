#pragma once

#include <optional>

namespace ambro::live {

// The picture size a video head announces by its code.
struct ImageSize {
    int width = 0;
    int height = 0;
    bool rowsDoubled = false;  // each even row is copied over the odd row below it
};

std::optional<ImageSize> imageSizeOfCode(int code);

}  // namespace ambro::live
