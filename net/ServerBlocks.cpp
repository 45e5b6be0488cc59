#include "net/ServerBlocks.h"

#include "platform/ByteOrder.h"

namespace ambro::net {

std::uint32_t channelMaskOf(const ServerInformation& information) {
    return platform::loadLe32(information.data());
}

std::int32_t serverKindOf(const ServerDescription& description) {
    return static_cast<std::int32_t>(platform::loadLe32(description.data() + 4));
}

}  // namespace ambro::net
