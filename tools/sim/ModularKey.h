#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <string>

namespace ambro::sim {

// The older generation's credential protection: the client raises each byte
// b of a 64-byte block (user name in bytes 0 to 31, password in 32 to 63) to
// c = b^e mod m and sends the 64 results as 32-bit words. The modulus is the
// product of two primes, small enough for the client's floating-point
// arithmetic to stay exact, and e is prime to (p - 1)(q - 1), so every byte
// gives its own c; the server reads the block back through a table of the
// 256 possible results.
class ModularKey {
public:
    static constexpr std::size_t kBlockBytes = 64;
    static constexpr std::size_t kWireBytes = 4 * kBlockBytes;

    explicit ModularKey(std::mt19937& random);
    ModularKey(std::uint32_t p, std::uint32_t q, std::uint32_t exponent);

    std::uint32_t modulus() const { return modulus_; }
    std::uint32_t exponent() const { return exponent_; }
    std::uint32_t raise(std::uint32_t byte) const;

    struct Credentials {
        std::string user;
        std::string password;
    };
    // None when a word is not the result of any byte.
    std::optional<Credentials> decode(const std::uint8_t* words, std::size_t size) const;

private:
    void buildTable();

    std::uint32_t modulus_ = 0;
    std::uint32_t exponent_ = 0;
    std::map<std::uint32_t, std::uint8_t> byteOf_;
};

}  // namespace ambro::sim
