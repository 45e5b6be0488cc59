#pragma once

#include <cstdint>

namespace ambro::media {

// The AAN fast integer forward DCT on one 8 x 8 block in place (rows, then
// columns), with its multipliers in 8 fractional bits and each product
// shifted right by 8. The outputs carry the AAN scale factors, which the
// quantisation divisors take out. Each pass runs its eight transforms side
// by side so that the compiler can vectorise them.
void forwardDctAan(std::int32_t* block);

}  // namespace ambro::media
