#pragma once

#include <cstdint>
#include <span>

namespace ambro::ptz {

// The checksum byte of kind 1 to 12 over a run of command bytes; any other
// kind gives 0.
std::uint8_t checksumOf(int kind, std::span<const std::uint8_t> run);

// The byte of value function `number` ("ADV" tokens) for address code A and
// the code of preset 1; 255 without a valid address or for an unknown number.
std::uint8_t valueFunction(long number, bool addressValid, int addressCode, int presetCode);

}  // namespace ambro::ptz
