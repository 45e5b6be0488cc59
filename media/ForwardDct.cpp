#include "media/ForwardDct.h"


namespace ambro::media {

namespace {

constexpr std::int32_t kC0707 = kDctC0707;
constexpr std::int32_t kC0382 = kDctC0382;
constexpr std::int32_t kC0541 = kDctC0541;
constexpr std::int32_t kC1306 = kDctC1306;

inline std::int32_t multiply(std::int32_t value, std::int32_t constant) {
    return (value * constant) >> 8;
}

// Eight 1-D transforms side by side: sequence j is v[0][j] .. v[7][j].
inline void transformLanes(std::int32_t (*v)[8]) {
    for (int j = 0; j < 8; ++j) {
        const std::int32_t tmp0 = v[0][j] + v[7][j];
        const std::int32_t tmp7 = v[0][j] - v[7][j];
        const std::int32_t tmp1 = v[1][j] + v[6][j];
        const std::int32_t tmp6 = v[1][j] - v[6][j];
        const std::int32_t tmp2 = v[2][j] + v[5][j];
        const std::int32_t tmp5 = v[2][j] - v[5][j];
        const std::int32_t tmp3 = v[3][j] + v[4][j];
        const std::int32_t tmp4 = v[3][j] - v[4][j];

        // Even part.
        const std::int32_t tmp10 = tmp0 + tmp3;
        const std::int32_t tmp13 = tmp0 - tmp3;
        const std::int32_t tmp11 = tmp1 + tmp2;
        const std::int32_t tmp12 = tmp1 - tmp2;
        v[0][j] = tmp10 + tmp11;
        v[4][j] = tmp10 - tmp11;
        const std::int32_t z1 = multiply(tmp12 + tmp13, kC0707);
        v[2][j] = tmp13 + z1;
        v[6][j] = tmp13 - z1;

        // Odd part.
        const std::int32_t odd10 = tmp4 + tmp5;
        const std::int32_t odd11 = tmp5 + tmp6;
        const std::int32_t odd12 = tmp6 + tmp7;
        const std::int32_t z5 = multiply(odd10 - odd12, kC0382);
        const std::int32_t z2 = multiply(odd10, kC0541) + z5;
        const std::int32_t z4 = multiply(odd12, kC1306) + z5;
        const std::int32_t z3 = multiply(odd11, kC0707);
        const std::int32_t z11 = tmp7 + z3;
        const std::int32_t z13 = tmp7 - z3;
        v[5][j] = z13 + z2;
        v[3][j] = z13 - z2;
        v[1][j] = z11 + z4;
        v[7][j] = z11 - z4;
    }
}

inline void transpose(const std::int32_t (*from)[8], std::int32_t (*to)[8]) {
    for (int r = 0; r < 8; ++r) {
        for (int c = 0; c < 8; ++c) to[c][r] = from[r][c];
    }
}

}  // namespace

void forwardDctAan(std::int32_t* block) {
    auto* rows = reinterpret_cast<std::int32_t(*)[8]>(block);
    alignas(32) std::int32_t columns[8][8];
    transpose(rows, columns);
    transformLanes(columns);  // lane j: row j of the block
    transpose(columns, rows);
    transformLanes(rows);     // lane j: column j
}

}  // namespace ambro::media
