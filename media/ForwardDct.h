#pragma once

#include <cstdint>

namespace ambro::media {

// The AAN multipliers in 8 fractional bits; each product is shifted right by 8.
inline constexpr std::int32_t kDctC0707 = 181;  // 0.707106781
inline constexpr std::int32_t kDctC0382 = 98;   // 0.382683433
inline constexpr std::int32_t kDctC0541 = 139;  // 0.541196100
inline constexpr std::int32_t kDctC1306 = 334;  // 1.306562965

// The AAN fast integer forward DCT on one 8 x 8 block in place (rows, then
// columns), with no scaling beyond its multipliers: the outputs carry the AAN
// scale factors, which the quantisation divisors take out. This is the plain
// version; transformBlock has the vectorised one.
void forwardDctAan(std::int32_t* block);

}  // namespace ambro::media
