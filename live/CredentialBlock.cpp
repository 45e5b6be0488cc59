#include "live/CredentialBlock.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "platform/ByteOrder.h"

namespace ambro::live {

namespace {

constexpr std::size_t kFieldSize = 32;

}  // namespace

CredentialBlock credentialBlock(std::string_view userName, std::string_view password) {
    CredentialBlock block{};
    std::copy_n(userName.begin(), std::min(userName.size(), kFieldSize), block.begin());
    std::copy_n(password.begin(), std::min(password.size(), kFieldSize),
                block.begin() + kFieldSize);
    return block;
}

std::int32_t exponentiate(std::uint8_t base, std::int32_t modulus, std::uint32_t exponent) {
    const double m = modulus;
    const double b = base;
    double r = 1.0;
    for (int bit = std::bit_width(exponent) - 1; bit >= 0; --bit) {
        r = std::fmod(r * r, m);
        if ((exponent >> bit) & 1u) r = std::fmod(b * r, m);
    }
    return static_cast<std::int32_t>(r);
}

ExponentiatedCredentials exponentiateCredentials(const CredentialBlock& block,
                                                 std::int32_t modulus, std::uint32_t exponent) {
    ExponentiatedCredentials result{};
    for (std::size_t i = 0; i < block.size(); ++i) {
        platform::storeLe32(result.data() + 4 * i,
                            static_cast<std::uint32_t>(exponentiate(block[i], modulus, exponent)));
    }
    return result;
}

}  // namespace ambro::live
