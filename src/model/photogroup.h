#pragma once

#include <QString>

#include <set>
#include <vector>

namespace mendral {

/** Decision state of a group. */
enum class GroupStatus { pending, picked, skipped };

/**
 * A set of similar shots and the user's decision about it. recommended, scores, duplicates
 * and picks speak of positions in indices, not of photo indices.
 */
struct PhotoGroup {
    int id = 0;
    std::vector<int> indices;
    int recommended = 0;
    std::vector<float> scores;
    std::vector<bool> duplicates;
    std::set<int> picks;
    bool skipped = false;
    float confidence = 0.0f;
    bool needsReview = true;
    QString reason;

    int count() const { return int(indices.size()); }
    GroupStatus status() const;
    /** Positions that count as chosen: none when skipped, else the picks ascending. */
    std::vector<int> resolved() const;
    /** Photo index of the recommended photo; 0 for an empty group. */
    int bestIndex() const;
};

} // namespace mendral
