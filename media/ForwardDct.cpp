#include "media/ForwardDct.h"

namespace ambro::media {

namespace {

constexpr std::int32_t kC0707 = 181;  // 0.707106781
constexpr std::int32_t kC0382 = 98;   // 0.382683433
constexpr std::int32_t kC0541 = 139;  // 0.541196100
constexpr std::int32_t kC1306 = 334;  // 1.306562965

inline std::int32_t multiply(std::int32_t value, std::int32_t constant) {
    return (value * constant) >> 8;
}

// One pass of eight 1-D transforms; `step` is the distance between the
// samples of one transform, `next` between transforms.
inline void pass(std::int32_t* data, int step, int next) {
    for (int i = 0; i < 8; ++i, data += next) {
        std::int32_t* d = data;
        const std::int32_t tmp0 = d[0 * step] + d[7 * step];
        const std::int32_t tmp7 = d[0 * step] - d[7 * step];
        const std::int32_t tmp1 = d[1 * step] + d[6 * step];
        const std::int32_t tmp6 = d[1 * step] - d[6 * step];
        const std::int32_t tmp2 = d[2 * step] + d[5 * step];
        const std::int32_t tmp5 = d[2 * step] - d[5 * step];
        const std::int32_t tmp3 = d[3 * step] + d[4 * step];
        const std::int32_t tmp4 = d[3 * step] - d[4 * step];

        // Even part.
        std::int32_t tmp10 = tmp0 + tmp3;
        const std::int32_t tmp13 = tmp0 - tmp3;
        std::int32_t tmp11 = tmp1 + tmp2;
        std::int32_t tmp12 = tmp1 - tmp2;
        d[0 * step] = tmp10 + tmp11;
        d[4 * step] = tmp10 - tmp11;
        const std::int32_t z1 = multiply(tmp12 + tmp13, kC0707);
        d[2 * step] = tmp13 + z1;
        d[6 * step] = tmp13 - z1;

        // Odd part.
        tmp10 = tmp4 + tmp5;
        tmp11 = tmp5 + tmp6;
        tmp12 = tmp6 + tmp7;
        const std::int32_t z5 = multiply(tmp10 - tmp12, kC0382);
        const std::int32_t z2 = multiply(tmp10, kC0541) + z5;
        const std::int32_t z4 = multiply(tmp12, kC1306) + z5;
        const std::int32_t z3 = multiply(tmp11, kC0707);
        const std::int32_t z11 = tmp7 + z3;
        const std::int32_t z13 = tmp7 - z3;
        d[5 * step] = z13 + z2;
        d[3 * step] = z13 - z2;
        d[1 * step] = z11 + z4;
        d[7 * step] = z11 - z4;
    }
}

}  // namespace

void forwardDctAan(std::int32_t* block) {
    pass(block, 1, 8);  // rows
    pass(block, 8, 1);  // columns
}

}  // namespace ambro::media
