#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace ambro::live {

// The log-in credentials of an older-generation session: user name in bytes
// 0-31 and password in bytes 32-63, zero-filled, each byte b then raised to
// the server's exponent e modulo its modulus m and sent as a little-endian
// int32: 256 bytes in all.
using CredentialBlock = std::array<std::uint8_t, 64>;
using ExponentiatedCredentials = std::array<std::uint8_t, 256>;

CredentialBlock credentialBlock(std::string_view userName, std::string_view password);

// b^e mod m by left-to-right binary exponentiation, every product and
// remainder in double precision as the servers compute it, so that moduli
// beyond 2^26 round exactly as they do there. `modulus` must be above 0.
std::int32_t exponentiate(std::uint8_t base, std::int32_t modulus, std::uint32_t exponent);

ExponentiatedCredentials exponentiateCredentials(const CredentialBlock& block,
                                                 std::int32_t modulus, std::uint32_t exponent);

}  // namespace ambro::live
