#include "media/BitReader.h"

namespace ambro::media {

std::uint32_t BitReader::read(int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        const std::size_t byte = position_ >> 3;
        std::uint32_t bit = 0;
        if (byte < bytes_.size()) {
            bit = (bytes_[byte] >> (7 - (position_ & 7))) & 1u;
        } else {
            exhausted_ = true;
        }
        value = (value << 1) | bit;
        ++position_;
    }
    return value;
}

}  // namespace ambro::media
