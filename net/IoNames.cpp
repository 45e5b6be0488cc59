#include "net/IoNames.h"

#include <algorithm>
#include <span>

#include "net/FixedText.h"
#include "platform/ByteOrder.h"

namespace ambro::net {

namespace {

constexpr std::size_t kNameCountOffset = 14;
constexpr std::size_t kInputListOffset = 1372;
constexpr std::size_t kOutputListOffset = 1900;
constexpr std::size_t kNameSlotSize = 32;

std::vector<std::string> readNameList(const ServerDescription& description, std::size_t offset,
                                      std::size_t count) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < count; ++i) {
        const auto slot = std::span(description).subspan(offset + i * kNameSlotSize,
                                                          IoNames::kMaxNameLength);
        names.push_back(fixedText(slot));
    }
    return names;
}

}  // namespace

IoNames IoNames::fromServer(const ServerInformation& information,
                            const ServerDescription& description) {
    IoNames names;
    const bool inputsEnabled = platform::loadLe32(information.data() + 4) != 0;
    const bool outputsEnabled = platform::loadLe32(information.data() + 8) != 0;
    names.present = inputsEnabled || outputsEnabled;
    if (!names.present) return names;

    const std::size_t count =
        std::min<std::size_t>(platform::loadLe16(description.data() + kNameCountOffset), kMaxNames);
    if (inputsEnabled) names.inputNames = readNameList(description, kInputListOffset, count);
    if (outputsEnabled) names.outputNames = readNameList(description, kOutputListOffset, count);
    return names;
}

}  // namespace ambro::net
