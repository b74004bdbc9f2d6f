#pragma once
// AVX2 helpers of the vector paths. Only code compiled for AVX2 (target attribute) includes
// this, and only runs it after detail::activePath() said Vector.

#include <immintrin.h>

#include "platform/vimage/detail/Common.h"

#define HX_VIMAGE_AVX2 __attribute__((target("avx2"), always_inline)) inline

namespace hx::vimage::detail {

// The Divider's quotient of eight int32 lanes, each 0 <= n < 2^31.
HX_VIMAGE_AVX2 __m256i divideAvx2(__m256i n, __m256i multiplier, __m128i shift) {
    const __m256i even = _mm256_srl_epi64(_mm256_mul_epu32(n, multiplier), shift);
    const __m256i odd =
        _mm256_srl_epi64(_mm256_mul_epu32(_mm256_srli_epi64(n, 32), multiplier), shift);
    return _mm256_or_si256(even, _mm256_slli_epi64(odd, 32));
}

// roundAndClamp of eight sums, as int32 lanes 0...255; `half` holds divisor / 2.
HX_VIMAGE_AVX2 __m256i roundAndClampAvx2(__m256i sum, __m256i half, __m256i multiplier,
                                         __m128i shift) {
    const __m256i n = _mm256_max_epi32(_mm256_add_epi32(sum, half), _mm256_setzero_si256());
    return _mm256_min_epi32(divideAvx2(n, multiplier, shift), _mm256_set1_epi32(255));
}

}  // namespace hx::vimage::detail
