#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace ambro::net {

// The Blowfish block cipher with the standard key schedule: 18 P entries and
// four 256-entry S-boxes, keyed with 1 to 72 key bytes used cyclically.
class Blowfish {
public:
    explicit Blowfish(std::span<const std::uint8_t> key);

    void encryptBlock(std::uint32_t& left, std::uint32_t& right) const;
    void decryptBlock(std::uint32_t& left, std::uint32_t& right) const;

private:
    std::uint32_t round(std::uint32_t half) const;

    std::array<std::uint32_t, 18> p_;
    std::array<std::array<std::uint32_t, 256>, 4> s_;
};

}  // namespace ambro::net
