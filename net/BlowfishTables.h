#pragma once

#include <cstdint>

namespace ambro::net {

// The cipher's initial subkeys: the fractional hexadecimal digits of pi.
extern const std::uint32_t kBlowfishInitialP[18];
extern const std::uint32_t kBlowfishInitialS0[256];
extern const std::uint32_t kBlowfishInitialS1[256];
extern const std::uint32_t kBlowfishInitialS2[256];
extern const std::uint32_t kBlowfishInitialS3[256];

}  // namespace ambro::net
