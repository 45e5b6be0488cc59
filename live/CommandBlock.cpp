#include "live/CommandBlock.h"

#include "platform/ByteOrder.h"

namespace ambro::live {

CommandBlock CommandBlock::withWords(std::int32_t code, std::initializer_list<std::int32_t> words) {
    CommandBlock block;
    block.code = code;
    std::size_t offset = 0;
    for (std::int32_t word : words) {
        if (offset + 4 > kPayloadSize) break;
        platform::storeLe32(block.payload.data() + offset, static_cast<std::uint32_t>(word));
        offset += 4;
    }
    block.length = static_cast<std::int32_t>(offset);
    return block;
}

std::int32_t CommandBlock::word(std::size_t index) const {
    const std::size_t offset = index * 4;
    if (length < 0 || offset + 4 > static_cast<std::size_t>(length) || offset + 4 > kPayloadSize) {
        return 0;
    }
    return static_cast<std::int32_t>(platform::loadLe32(payload.data() + offset));
}

}  // namespace ambro::live
