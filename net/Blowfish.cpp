#include "net/Blowfish.h"

#include <algorithm>
#include <utility>

#include "net/BlowfishTables.h"

namespace ambro::net {

Blowfish::Blowfish(std::span<const std::uint8_t> key) {
    std::copy(std::begin(kBlowfishInitialP), std::end(kBlowfishInitialP), p_.begin());
    const std::uint32_t* initialBoxes[4] = {kBlowfishInitialS0, kBlowfishInitialS1,
                                            kBlowfishInitialS2, kBlowfishInitialS3};
    for (int box = 0; box < 4; ++box) {
        std::copy(initialBoxes[box], initialBoxes[box] + 256, s_[box].begin());
    }

    if (!key.empty()) {
        std::size_t position = 0;
        for (auto& entry : p_) {
            std::uint32_t word = 0;
            for (int i = 0; i < 4; ++i) {
                word = (word << 8) | key[position];
                position = (position + 1) % key.size();
            }
            entry ^= word;
        }
    }

    std::uint32_t left = 0;
    std::uint32_t right = 0;
    for (std::size_t i = 0; i < p_.size(); i += 2) {
        encryptBlock(left, right);
        p_[i] = left;
        p_[i + 1] = right;
    }
    for (auto& box : s_) {
        for (std::size_t i = 0; i < box.size(); i += 2) {
            encryptBlock(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

std::uint32_t Blowfish::round(std::uint32_t half) const {
    return ((s_[0][half >> 24] + s_[1][(half >> 16) & 0xFF]) ^ s_[2][(half >> 8) & 0xFF]) +
           s_[3][half & 0xFF];
}

void Blowfish::encryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 0; i < 16; ++i) {
        l ^= p_[i];
        r ^= round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    right = r ^ p_[16];
    left = l ^ p_[17];
}

void Blowfish::decryptBlock(std::uint32_t& left, std::uint32_t& right) const {
    std::uint32_t l = left;
    std::uint32_t r = right;
    for (int i = 17; i > 1; --i) {
        l ^= p_[i];
        r ^= round(l);
        std::swap(l, r);
    }
    std::swap(l, r);
    right = r ^ p_[1];
    left = l ^ p_[0];
}

}  // namespace ambro::net
