#pragma once

#include <optional>
#include <vector>

namespace mendral::Analyzer {

/**
 * Distance between two colour prints (histograms that sum to 1): half the L1 distance, so
 * 0 for the same colour mix and 1 for no colour in common. Nothing when either print is
 * missing or their lengths differ (they cannot be compared); 0 when both are empty.
 */
std::optional<float> colorDistance(const std::optional<std::vector<float>> &a,
                                   const std::optional<std::vector<float>> &b);

} // namespace mendral::Analyzer
