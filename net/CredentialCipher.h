#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "net/Blowfish.h"

namespace ambro::net {

// User name and password travel in the login message as 32-byte fields: the
// 8-bit text, cut to 32 bytes and padded with zeros, Blowfish-encrypted in ECB
// mode. Each 8-byte block is read as two little-endian words (bytes 0-3 the
// left half, 4-7 the right) and written back the same way.
using CredentialField = std::array<std::uint8_t, 32>;
inline constexpr std::size_t kSessionKeySize = 16;

CredentialField makeCredentialField(std::string_view text);
void encryptCredentialField(const Blowfish& cipher, CredentialField& field);

}  // namespace ambro::net
