#pragma once

#include <cstddef>

namespace mendral::Clusterer {

/**
 * Dot products of 4 rows with 4 columns, each row stride floats apart; out receives the 16
 * results row by row. The same values as dotProduct(row, column, stride).
 */
void dotBlock(const float *rows, const float *cols, size_t stride, float *out);

/** The instruction-set variants behind dotProduct and dotBlock, exposed so that each can be
 *  checked against the portable one where the processor has it. */
namespace kernels {
inline constexpr int blockSize = 4;
float dotScalar(const float *a, const float *b, size_t n);
float dotAvx2(const float *a, const float *b, size_t n);
float dotAvx512(const float *a, const float *b, size_t n);
void dotBlockAvx512(const float *rows, const float *cols, size_t stride, float *out);
} // namespace kernels

} // namespace mendral::Clusterer
