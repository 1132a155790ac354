#pragma once

#include "model/photo.h"

#include <vector>

namespace mendral::Clusterer {

/**
 * Appends group to into, first breaking it up when it has more than maxSize members: the
 * members are re-joined under a stricter, purely visual rule (print distance ≤ 0.6 ×
 * simThreshold, or ≤ 0.96 × simThreshold within a short burst window), each connected part is
 * handled the same way one level deeper, and a group the rule cannot separate (or one three
 * levels down) is cut into consecutive pieces of maxSize.
 */
void splitOversized(const std::vector<int> &group, const std::vector<Photo> &photos,
                    int maxSize, float simThreshold, double timeGap, int depth,
                    std::vector<std::vector<int>> &into);

/** Appends consecutive pieces of at most maxSize members of group; nothing for an empty one. */
void chunk(const std::vector<int> &group, int maxSize, std::vector<std::vector<int>> &into);

} // namespace mendral::Clusterer
