#include "grouping/clusterer.h"

#include <algorithm>

namespace mendral::Clusterer {

float calibrate(const std::vector<float> &nearest, float factor)
{
    // Photos never compared, or without a print, keep the sentinel and say nothing.
    std::vector<float> values;
    values.reserve(nearest.size());
    for (float v : nearest)
        if (v < noDistance)
            values.push_back(v);
    std::sort(values.begin(), values.end());
    if (values.size() < 4) {
        float t = factor * 0.34f;
        if (t > 0.30f)
            t = 0.30f;
        if (t < 0.12f)
            t = 0.12f;
        return t;
    }
    // The 30th percentile of nearest distances, scaled: typical "same scene" spacing.
    size_t k = size_t(double(values.size()) * 0.3);
    k = std::min(k, values.size() - 1);
    float c = values[k] * 2.2f;
    if (c >= 0.30f)
        c = 0.30f;
    else if (c < 0.14f)
        c = 0.14f;
    return std::max(factor * c, 0.08f);
}

Thresholds thresholds(float base, float simFactor)
{
    Thresholds t;
    t.loose = std::min(std::max(base * 1.8f * simFactor, 0.22f), simFactor * 0.38f);
    t.strict = std::min(std::max(base * 1.5f * simFactor, 0.18f), t.loose * 0.85f);
    return t;
}

} // namespace mendral::Clusterer
