#include "ptz/PtzBytes.h"

namespace ambro::ptz {

namespace {

std::uint8_t digitCharacter(int value) {
    return static_cast<std::uint8_t>(value < 10 ? '0' + value : 'A' + (value - 10));
}

}  // namespace

std::uint8_t checksumOf(int kind, std::span<const std::uint8_t> run) {
    unsigned sum = 0;
    std::uint8_t exclusive = 0;
    int setCounts[8] = {};
    for (std::uint8_t byte : run) {
        sum += byte;
        exclusive ^= byte;
        for (int bit = 0; bit < 8; ++bit) setCounts[bit] += (byte >> bit) & 1;
    }
    switch (kind) {
        case 1:
        case 2:
        case 10: return static_cast<std::uint8_t>(255 - sum % 256);
        case 3: return static_cast<std::uint8_t>(-sum);
        case 4: return exclusive;
        case 5:
        case 6: return static_cast<std::uint8_t>(sum);
        case 7: return static_cast<std::uint8_t>(sum % 128);
        case 8: return static_cast<std::uint8_t>(~exclusive);
        case 9: return static_cast<std::uint8_t>(32 - sum);
        case 11: {
            std::uint8_t result = 0;
            for (int bit = 0; bit < 8; ++bit) {
                if (setCounts[bit] % 2 == 0) result |= static_cast<std::uint8_t>(1u << bit);
            }
            return result;
        }
        case 12: return static_cast<std::uint8_t>((sum % 256) ^ 0xA5);
        default: return 0;
    }
}

std::uint8_t valueFunction(long number, bool addressValid, int addressCode, int presetCode) {
    if (!addressValid) return 255;
    const int a = addressCode;
    const int p = presetCode;
    // A second pan and tilt speed that no description section supplies.
    constexpr int s = 0;
    constexpr int t = 0;
    int value;
    switch (number) {
        case 1: value = '0' + a / 100; break;
        case 2: value = '0' + (a / 10) % 10; break;
        case 3: value = '0' + a % 10; break;
        case 4: value = 240 + a % 10; break;
        case 5: value = (a / 100) * 16 + (a % 100) / 10; break;
        case 6: value = '0' + p / 10; break;
        case 7: value = '0' + p % 10; break;
        case 8: value = '0' + a / 10; break;
        case 9: value = digitCharacter((p + 100) / 16); break;
        case 10: value = digitCharacter((p + 100) % 16); break;
        case 11: value = (p / 4) % 64 + 64; break;
        case 12: value = p / 4; break;
        case 13: value = p % 4; break;
        case 14: value = digitCharacter(p / 16); break;
        case 15: value = digitCharacter(p % 16); break;
        case 16: value = 128 - s; break;
        case 17: value = 128 - t; break;
        case 18: value = 128 + s; break;
        case 19: value = 128 + t; break;
        case 20: value = p + 64; break;
        case 21: value = (a % 32) * 8; break;
        case 22: value = (a / 16) % 32; break;
        case 23: value = s + 64; break;
        case 24: value = t + 64; break;
        case 25: value = p > 3 ? p + 3 : p + 12; break;
        case 26: value = a + 64; break;
        case 27: value = a + 128; break;
        case 28: value = p + 32; break;
        default: return 255;
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace ambro::ptz
