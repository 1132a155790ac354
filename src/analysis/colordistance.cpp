#include "analysis/colordistance.h"

#include <cmath>

namespace mendral::Analyzer {

std::optional<float> colorDistance(const std::optional<std::vector<float>> &a,
                                   const std::optional<std::vector<float>> &b)
{
    if (!a || !b || a->size() != b->size())
        return std::nullopt;
    float sum = 0.0f;
    for (size_t i = 0; i < a->size(); ++i)
        sum += std::fabs((*a)[i] - (*b)[i]);
    return 0.5f * sum;
}

} // namespace mendral::Analyzer
