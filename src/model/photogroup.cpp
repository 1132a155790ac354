#include "photogroup.h"

#include <algorithm>

namespace mendral {

GroupStatus PhotoGroup::status() const
{
    if (skipped)
        return GroupStatus::skipped;
    return picks.empty() ? GroupStatus::pending : GroupStatus::picked;
}

std::vector<int> PhotoGroup::resolved() const
{
    if (skipped)
        return {};
    return {picks.begin(), picks.end()}; // std::set is already ascending
}

int PhotoGroup::bestIndex() const
{
    if (indices.empty())
        return 0;
    return indices[size_t(std::clamp(recommended, 0, count() - 1))];
}

} // namespace mendral
