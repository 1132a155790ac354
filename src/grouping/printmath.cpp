#include "grouping/printmath.h"

#include <algorithm>
#include <cstring>

namespace mendral::Clusterer {

// The 16-lane vector type never crosses a function boundary outside this file.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace {

using Lanes = float __attribute__((vector_size(64)));

inline Lanes load(const float *p)
{
    Lanes v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

float dotProduct(const float *a, const float *b, size_t n)
{
    Lanes acc = {};
    size_t k = 0;
    for (; k + 16 <= n; k += 16)
        acc += load(a + k) * load(b + k);
    float s[16];
    std::memcpy(s, &acc, sizeof s);
    for (size_t l = 0; k + l < n; ++l)
        s[l] += a[k + l] * b[k + l];
    for (int w = 8; w >= 1; w /= 2)
        for (int l = 0; l < w; ++l)
            s[l] += s[l + w];
    return s[0];
}

float distance(const std::vector<float> &a, const std::vector<float> &b)
{
    const size_t m = std::min(a.size(), b.size());
    if (m == 0)
        return noDistance;
    return distanceFromDot(dotProduct(a.data(), b.data(), m));
}

} // namespace mendral::Clusterer
