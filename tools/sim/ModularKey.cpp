#include "tools/sim/ModularKey.h"

#include <numeric>

#include "tools/sim/WireBytes.h"

namespace ambro::sim {

namespace {

constexpr std::array<std::uint32_t, 6> kExponents = {3, 5, 7, 11, 13, 17};

bool isPrime(std::uint32_t n) {
    if (n < 2) return false;
    for (std::uint32_t d = 2; d * d <= n; ++d) {
        if (n % d == 0) return false;
    }
    return true;
}

// A prime between 1000 and 7000: two of them multiply to less than 2^26, so
// the client's squares stay below 2^52.
std::uint32_t randomPrime(std::mt19937& random) {
    std::uniform_int_distribution<std::uint32_t> pick(1000, 7000);
    std::uint32_t candidate = pick(random);
    while (!isPrime(candidate)) ++candidate;
    return candidate;
}

}  // namespace

ModularKey::ModularKey(std::mt19937& random) {
    for (;;) {
        const std::uint32_t p = randomPrime(random);
        const std::uint32_t q = randomPrime(random);
        if (p == q) continue;
        const std::uint64_t phi = std::uint64_t{p - 1} * (q - 1);
        const std::uint32_t e = kExponents[random() % kExponents.size()];
        if (std::gcd(phi, std::uint64_t{e}) != 1) continue;
        *this = ModularKey(p, q, e);
        return;
    }
}

ModularKey::ModularKey(std::uint32_t p, std::uint32_t q, std::uint32_t exponent)
    : modulus_(p * q), exponent_(exponent) {
    buildTable();
}

std::uint32_t ModularKey::raise(std::uint32_t byte) const {
    std::uint64_t result = 1;
    std::uint64_t base = byte % modulus_;
    for (std::uint32_t e = exponent_; e > 0; e >>= 1) {
        if (e & 1) result = result * base % modulus_;
        base = base * base % modulus_;
    }
    return static_cast<std::uint32_t>(result);
}

void ModularKey::buildTable() {
    byteOf_.clear();
    for (std::uint32_t byte = 0; byte < 256; ++byte) byteOf_[raise(byte)] = static_cast<std::uint8_t>(byte);
}

std::optional<ModularKey::Credentials> ModularKey::decode(const std::uint8_t* words,
                                                          std::size_t size) const {
    if (size < kWireBytes) return std::nullopt;
    std::uint8_t block[kBlockBytes];
    for (std::size_t i = 0; i < kBlockBytes; ++i) {
        const auto found = byteOf_.find(platform::loadLe32(words + 4 * i));
        if (found == byteOf_.end()) return std::nullopt;
        block[i] = found->second;
    }
    return Credentials{textOfField(block, 32), textOfField(block + 32, 32)};
}

}  // namespace ambro::sim
