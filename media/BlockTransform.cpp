#include "media/BlockTransform.h"

#include <algorithm>
#include <cstdlib>

#include "media/CodePath.h"
#include "media/ForwardDct.h"
#include "media/JpegTables.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define AMBRO_HAVE_AVX2_TRANSFORM 1
#endif

namespace ambro::media {

namespace {

// Kept out of line and out of the AVX2 code: as plain loads and stores the
// permutation is cheaper than the gathers a vectoriser would make of it.
__attribute__((noinline)) void toZigZag(const std::int32_t* natural, std::int32_t* zigZag) {
    for (int k = 0; k < 64; ++k) zigZag[k] = natural[jpeg::kZigZagToNatural[k]];
}

std::uint64_t transformBlockPlain(std::int32_t* block, const QuantisationTable& table,
                                  std::int32_t* zigZag) {
    forwardDctAan(block);
    for (int i = 0; i < 64; ++i) {
        const std::int32_t value = block[i];
        const std::int32_t magnitude =
            quantisationQuotient(std::abs(value) + table.halves[i], table.reciprocals[i]);
        const std::int32_t limited = i == 0 ? magnitude : std::min(magnitude, kMaxAcCoefficient);
        block[i] = value < 0 ? -limited : limited;
    }
    toZigZag(block, zigZag);
    std::uint64_t nonZero = 0;
    for (int k = 0; k < 64; ++k) nonZero |= static_cast<std::uint64_t>(zigZag[k] != 0) << k;
    return nonZero;
}

#ifdef AMBRO_HAVE_AVX2_TRANSFORM

#define AMBRO_AVX2 __attribute__((target("avx2"), always_inline)) inline

AMBRO_AVX2 __m256i multiplyFixed(__m256i value, std::int32_t constant) {
    return _mm256_srai_epi32(_mm256_mullo_epi32(value, _mm256_set1_epi32(constant)), 8);
}

// The same eight 1-D transforms as the plain DCT, lane j being sequence
// v[0][j] .. v[7][j].
AMBRO_AVX2 void transformLanes(__m256i* v) {
    const __m256i tmp0 = _mm256_add_epi32(v[0], v[7]);
    const __m256i tmp7 = _mm256_sub_epi32(v[0], v[7]);
    const __m256i tmp1 = _mm256_add_epi32(v[1], v[6]);
    const __m256i tmp6 = _mm256_sub_epi32(v[1], v[6]);
    const __m256i tmp2 = _mm256_add_epi32(v[2], v[5]);
    const __m256i tmp5 = _mm256_sub_epi32(v[2], v[5]);
    const __m256i tmp3 = _mm256_add_epi32(v[3], v[4]);
    const __m256i tmp4 = _mm256_sub_epi32(v[3], v[4]);

    const __m256i tmp10 = _mm256_add_epi32(tmp0, tmp3);
    const __m256i tmp13 = _mm256_sub_epi32(tmp0, tmp3);
    const __m256i tmp11 = _mm256_add_epi32(tmp1, tmp2);
    const __m256i tmp12 = _mm256_sub_epi32(tmp1, tmp2);
    v[0] = _mm256_add_epi32(tmp10, tmp11);
    v[4] = _mm256_sub_epi32(tmp10, tmp11);
    const __m256i z1 = multiplyFixed(_mm256_add_epi32(tmp12, tmp13), kDctC0707);
    v[2] = _mm256_add_epi32(tmp13, z1);
    v[6] = _mm256_sub_epi32(tmp13, z1);

    const __m256i odd10 = _mm256_add_epi32(tmp4, tmp5);
    const __m256i odd11 = _mm256_add_epi32(tmp5, tmp6);
    const __m256i odd12 = _mm256_add_epi32(tmp6, tmp7);
    const __m256i z5 = multiplyFixed(_mm256_sub_epi32(odd10, odd12), kDctC0382);
    const __m256i z2 = _mm256_add_epi32(multiplyFixed(odd10, kDctC0541), z5);
    const __m256i z4 = _mm256_add_epi32(multiplyFixed(odd12, kDctC1306), z5);
    const __m256i z3 = multiplyFixed(odd11, kDctC0707);
    const __m256i z11 = _mm256_add_epi32(tmp7, z3);
    const __m256i z13 = _mm256_sub_epi32(tmp7, z3);
    v[5] = _mm256_add_epi32(z13, z2);
    v[3] = _mm256_sub_epi32(z13, z2);
    v[1] = _mm256_add_epi32(z11, z4);
    v[7] = _mm256_sub_epi32(z11, z4);
}

AMBRO_AVX2 void transpose(__m256i* v) {
    const __m256i t0 = _mm256_unpacklo_epi32(v[0], v[1]);
    const __m256i t1 = _mm256_unpackhi_epi32(v[0], v[1]);
    const __m256i t2 = _mm256_unpacklo_epi32(v[2], v[3]);
    const __m256i t3 = _mm256_unpackhi_epi32(v[2], v[3]);
    const __m256i t4 = _mm256_unpacklo_epi32(v[4], v[5]);
    const __m256i t5 = _mm256_unpackhi_epi32(v[4], v[5]);
    const __m256i t6 = _mm256_unpacklo_epi32(v[6], v[7]);
    const __m256i t7 = _mm256_unpackhi_epi32(v[6], v[7]);
    const __m256i u0 = _mm256_unpacklo_epi64(t0, t2);
    const __m256i u1 = _mm256_unpackhi_epi64(t0, t2);
    const __m256i u2 = _mm256_unpacklo_epi64(t1, t3);
    const __m256i u3 = _mm256_unpackhi_epi64(t1, t3);
    const __m256i u4 = _mm256_unpacklo_epi64(t4, t6);
    const __m256i u5 = _mm256_unpackhi_epi64(t4, t6);
    const __m256i u6 = _mm256_unpacklo_epi64(t5, t7);
    const __m256i u7 = _mm256_unpackhi_epi64(t5, t7);
    v[0] = _mm256_permute2x128_si256(u0, u4, 0x20);
    v[1] = _mm256_permute2x128_si256(u1, u5, 0x20);
    v[2] = _mm256_permute2x128_si256(u2, u6, 0x20);
    v[3] = _mm256_permute2x128_si256(u3, u7, 0x20);
    v[4] = _mm256_permute2x128_si256(u0, u4, 0x31);
    v[5] = _mm256_permute2x128_si256(u1, u5, 0x31);
    v[6] = _mm256_permute2x128_si256(u2, u6, 0x31);
    v[7] = _mm256_permute2x128_si256(u3, u7, 0x31);
}

__attribute__((target("avx2"))) std::uint64_t transformBlockAvx2(
    std::int32_t* block, const QuantisationTable& table, std::int32_t* zigZag) {
    __m256i v[8];
    for (int i = 0; i < 8; ++i) {
        v[i] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + 8 * i));
    }
    transpose(v);
    transformLanes(v);  // lane j: row j of the block
    transpose(v);
    transformLanes(v);  // lane j: column j

    const __m256 half = _mm256_set1_ps(0.5f);
    const __m256i acLimit = _mm256_set1_epi32(kMaxAcCoefficient);
    // The DC coefficient (row 0, lane 0) is not limited.
    const __m256i firstRowLimit = _mm256_setr_epi32(0x7FFFFFFF, kMaxAcCoefficient, kMaxAcCoefficient,
                                                    kMaxAcCoefficient, kMaxAcCoefficient,
                                                    kMaxAcCoefficient, kMaxAcCoefficient,
                                                    kMaxAcCoefficient);
    for (int i = 0; i < 8; ++i) {
        const __m256i halves =
            _mm256_load_si256(reinterpret_cast<const __m256i*>(table.halves.data() + 8 * i));
        const __m256 reciprocals = _mm256_load_ps(table.reciprocals.data() + 8 * i);
        const __m256i y = _mm256_add_epi32(_mm256_abs_epi32(v[i]), halves);
        const __m256i magnitude = _mm256_cvttps_epi32(
            _mm256_mul_ps(_mm256_add_ps(_mm256_cvtepi32_ps(y), half), reciprocals));
        const __m256i limited = _mm256_min_epi32(magnitude, i == 0 ? firstRowLimit : acLimit);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(block + 8 * i),
                            _mm256_sign_epi32(limited, v[i]));
    }
    toZigZag(block, zigZag);

    std::uint64_t nonZero = 0;
    const __m256i zero = _mm256_setzero_si256();
    for (int i = 0; i < 8; ++i) {
        const __m256i value = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(zigZag + 8 * i));
        const int zeros = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(value, zero)));
        nonZero |= static_cast<std::uint64_t>(~zeros & 0xFF) << (8 * i);
    }
    return nonZero;
}

#endif

}  // namespace

std::uint64_t transformBlock(std::int32_t* block, const QuantisationTable& table,
                             std::int32_t* zigZag) {
#ifdef AMBRO_HAVE_AVX2_TRANSFORM
    if (avx2CodeEnabled()) return transformBlockAvx2(block, table, zigZag);
#endif
    return transformBlockPlain(block, table, zigZag);
}

}  // namespace ambro::media
