#include "grouping/printmath.h"

#include "grouping/printkernels.h"

#include <algorithm>
#include <cmath>
#include <immintrin.h>

// The 16-lane vector types never cross a function boundary outside this file.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace mendral::Clusterer {

namespace {

using Lanes = float __attribute__((vector_size(64)));

// Lane l + lane l+8, then +4, +2, +1.
inline float fold(Lanes s)
{
    s += __builtin_shufflevector(s, s, 8, 9, 10, 11, 12, 13, 14, 15, 8, 9, 10, 11, 12, 13, 14, 15);
    s += __builtin_shufflevector(s, s, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5, 6, 7, 4, 5, 6, 7);
    s += __builtin_shufflevector(s, s, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3, 2, 3);
    s += __builtin_shufflevector(s, s, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1);
    return s[0];
}

bool hasAvx512()
{
    static const bool yes = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f"));
    return yes;
}

bool hasAvx2()
{
    static const bool yes = (__builtin_cpu_init(), __builtin_cpu_supports("avx2") &&
                                                       __builtin_cpu_supports("fma"));
    return yes;
}

} // namespace

namespace kernels {

float dotScalar(const float *a, const float *b, size_t n)
{
    float s[16] = {};
    for (size_t k = 0; k < n; ++k)
        s[k % 16] = std::fma(a[k], b[k], s[k % 16]);
    for (int w = 8; w >= 1; w /= 2)
        for (int l = 0; l < w; ++l)
            s[l] += s[l + w];
    return s[0];
}

__attribute__((target("avx2,fma"))) float dotAvx2(const float *a, const float *b, size_t n)
{
    __m256 lo = _mm256_setzero_ps(), hi = _mm256_setzero_ps();
    size_t k = 0;
    for (; k + 16 <= n; k += 16) {
        lo = _mm256_fmadd_ps(_mm256_loadu_ps(a + k), _mm256_loadu_ps(b + k), lo);
        hi = _mm256_fmadd_ps(_mm256_loadu_ps(a + k + 8), _mm256_loadu_ps(b + k + 8), hi);
    }
    float s[16];
    _mm256_storeu_ps(s, lo);
    _mm256_storeu_ps(s + 8, hi);
    for (size_t l = 0; k + l < n; ++l)
        s[l] = __builtin_fmaf(a[k + l], b[k + l], s[l]);
    for (int w = 8; w >= 1; w /= 2)
        for (int l = 0; l < w; ++l)
            s[l] += s[l + w];
    return s[0];
}

__attribute__((target("avx512f"))) float dotAvx512(const float *a, const float *b, size_t n)
{
    __m512 acc = _mm512_setzero_ps();
    size_t k = 0;
    for (; k + 16 <= n; k += 16)
        acc = _mm512_fmadd_ps(_mm512_loadu_ps(a + k), _mm512_loadu_ps(b + k), acc);
    if (k < n) {
        // Lanes past the end add 0 × 0: they keep their value.
        const __mmask16 mask = __mmask16((1u << (n - k)) - 1u);
        acc = _mm512_fmadd_ps(_mm512_maskz_loadu_ps(mask, a + k),
                              _mm512_maskz_loadu_ps(mask, b + k), acc);
    }
    return fold(Lanes(acc));
}

__attribute__((target("avx512f"))) void dotBlockAvx512(const float *rows, const float *cols,
                                                      size_t stride, float *out)
{
    __m512 acc[blockSize][blockSize];
#pragma GCC unroll 4
    for (int r = 0; r < blockSize; ++r)
#pragma GCC unroll 4
        for (int c = 0; c < blockSize; ++c)
            acc[r][c] = _mm512_setzero_ps();
    for (size_t k = 0; k < stride; k += 16) {
        __m512 a[blockSize], b[blockSize];
#pragma GCC unroll 4
        for (int r = 0; r < blockSize; ++r)
            a[r] = _mm512_loadu_ps(rows + size_t(r) * stride + k);
#pragma GCC unroll 4
        for (int c = 0; c < blockSize; ++c)
            b[c] = _mm512_loadu_ps(cols + size_t(c) * stride + k);
#pragma GCC unroll 4
        for (int r = 0; r < blockSize; ++r)
#pragma GCC unroll 4
            for (int c = 0; c < blockSize; ++c)
                acc[r][c] = _mm512_fmadd_ps(a[r], b[c], acc[r][c]);
    }
#pragma GCC unroll 4
    for (int r = 0; r < blockSize; ++r)
#pragma GCC unroll 4
        for (int c = 0; c < blockSize; ++c)
            out[r * blockSize + c] = fold(Lanes(acc[r][c]));
}

} // namespace kernels

float dotProduct(const float *a, const float *b, size_t n)
{
    if (hasAvx512())
        return kernels::dotAvx512(a, b, n);
    if (hasAvx2())
        return kernels::dotAvx2(a, b, n);
    return kernels::dotScalar(a, b, n);
}

void dotBlock(const float *rows, const float *cols, size_t stride, float *out)
{
    if (hasAvx512())
        return kernels::dotBlockAvx512(rows, cols, stride, out);
    for (int r = 0; r < kernels::blockSize; ++r)
        for (int c = 0; c < kernels::blockSize; ++c)
            out[r * kernels::blockSize + c] =
                dotProduct(rows + size_t(r) * stride, cols + size_t(c) * stride, stride);
}

float distance(const std::vector<float> &a, const std::vector<float> &b)
{
    const size_t m = std::min(a.size(), b.size());
    if (m == 0)
        return noDistance;
    return distanceFromDot(dotProduct(a.data(), b.data(), m));
}

} // namespace mendral::Clusterer
