#include "live/ImageSizeCode.h"

namespace ambro::live {

std::optional<ImageSize> imageSizeOfCode(int code) {
    switch (code) {
        case 2: return ImageSize{160, 120, true};
        case 4: return ImageSize{320, 240, false};
        case 21: return ImageSize{176, 144, true};
        case 22: return ImageSize{176, 112, true};
        case 23: return ImageSize{352, 240, false};
        case 24: return ImageSize{352, 288, false};
        default: return std::nullopt;
    }
}

}  // namespace ambro::live
