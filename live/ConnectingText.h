#pragma once

#include <cstdint>
#include <string>

namespace ambro::live {

inline constexpr std::size_t kConnectingTextLength = 25;

// The text of the connecting animation at tick `counter`: "Connecting",
// then counter mod 10 dots, then spaces up to 25 characters, so the centred
// text keeps its place while the dots grow.
std::string connectingText(std::uint32_t counter);

}  // namespace ambro::live
