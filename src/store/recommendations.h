#pragma once

#include "model/photogroup.h"

#include <vector>

namespace mendral {

/**
 * Taking the program's recommendation for many groups at once: which groups qualify, and what
 * accepting changes in one of them. The store wraps it in a confirmation and one undo step.
 */
namespace recommendations {

/** A group qualifies when it is still pending, is not flagged for review, and its recommended
 *  position lies inside the group. */
bool acceptable(const PhotoGroup &group);
/** Ids of the qualifying groups, in list order. */
std::vector<int> acceptableGroups(const std::vector<PhotoGroup> &groups);
/** Picks the recommended photo (keeping any other picks) and clears the skip flag. */
void accept(PhotoGroup &group);

} // namespace recommendations
} // namespace mendral
