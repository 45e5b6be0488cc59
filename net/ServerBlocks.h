#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace ambro::net {

// The blocks a current-generation server sends during the handshake, kept
// whole in the session and read through the functions beside them.
inline constexpr std::size_t kServerInformationSize = 48;
inline constexpr std::size_t kServerDescriptionSize = 2648;
inline constexpr std::size_t kExtraBlockSize = 64;

using ServerInformation = std::array<std::uint8_t, kServerInformationSize>;
using ServerDescription = std::array<std::uint8_t, kServerDescriptionSize>;

// Bit i set: camera i + 1 exists.
std::uint32_t channelMaskOf(const ServerInformation& information);
std::int32_t serverKindOf(const ServerDescription& description);

}  // namespace ambro::net
