#pragma once

#include <string>
#include <string_view>

namespace ambro::net {

// The password as the byte-coded login carries it: for n characters, the one
// at position i with code c becomes (c + n - i) mod 256 in lower-case hex
// without leading zeros, the digits of all characters joined in order.
std::string codeTwoPortPassword(std::string_view password);

}  // namespace ambro::net
