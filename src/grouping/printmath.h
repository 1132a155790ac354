#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace mendral::Clusterer {

/** "No value" distance: either vector was empty. */
inline constexpr float noDistance = std::numeric_limits<float>::max();

/**
 * Single-precision dot product of the first n elements. The summation order is fixed so that
 * every code path (scalar, any vector width) gives the same bits: the product of element k is
 * added to partial sum k mod 16 with one rounding (fused multiply-add), and the 16 partial
 * sums are then folded pairwise: lane l with lane l+8, then +4, +2, +1.
 */
float dotProduct(const float *a, const float *b, size_t n);

/** √max(0, 2 − 2·dot) of two vectors over their common length: the Euclidean distance of unit
 *  vectors. noDistance when either is empty. */
float distance(const std::vector<float> &a, const std::vector<float> &b);

/** The distance for a dot product already computed: 0 when 2 − 2·dot ≤ 0, else its root. */
inline float distanceFromDot(float dot)
{
    const float v = 2.0f - 2.0f * dot;
    return v <= 0.0f ? 0.0f : std::sqrt(v);
}

} // namespace mendral::Clusterer
