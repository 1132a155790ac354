#include "store/recommendations.h"

namespace mendral::recommendations {

bool acceptable(const PhotoGroup &group)
{
    return group.status() == GroupStatus::pending && !group.needsReview && group.recommended >= 0 &&
           group.recommended < group.count();
}

std::vector<int> acceptableGroups(const std::vector<PhotoGroup> &groups)
{
    std::vector<int> ids;
    for (const PhotoGroup &g : groups)
        if (acceptable(g))
            ids.push_back(g.id);
    return ids;
}

void accept(PhotoGroup &group)
{
    group.picks.insert(group.recommended);
    group.skipped = false;
}

} // namespace mendral::recommendations
