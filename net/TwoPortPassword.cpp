#include "net/TwoPortPassword.h"

#include <cstdio>

namespace ambro::net {

std::string codeTwoPortPassword(std::string_view password) {
    const std::size_t n = password.size();
    std::string coded;
    coded.reserve(2 * n);
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned code = static_cast<unsigned char>(password[i]);
        const unsigned value = (code + n - i) % 256;
        char digits[3];
        std::snprintf(digits, sizeof digits, "%x", value);
        coded += digits;
    }
    return coded;
}

}  // namespace ambro::net
