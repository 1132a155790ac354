#include "grouping/split.h"

#include "grouping/dsu.h"
#include "grouping/printmath.h"

#include <algorithm>

namespace mendral::Clusterer {

void chunk(const std::vector<int> &group, int maxSize, std::vector<std::vector<int>> &into)
{
    const size_t step = size_t(std::max(maxSize, 1));
    for (size_t s = 0; s < group.size(); s += step) {
        const size_t e = std::min(s + step, group.size());
        into.emplace_back(group.begin() + std::ptrdiff_t(s), group.begin() + std::ptrdiff_t(e));
    }
}

void splitOversized(const std::vector<int> &group, const std::vector<Photo> &photos,
                    int maxSize, float simThreshold, double timeGap, int depth,
                    std::vector<std::vector<int>> &into)
{
    if (int(group.size()) <= maxSize) {
        into.push_back(group);
        return;
    }
    if (depth >= 3) {
        chunk(group, maxSize, into);
        return;
    }

    const int m = int(group.size());
    const float a = 0.6f * simThreshold;
    const float b = a * 1.6f;
    const double w = 0.3 * timeGap >= 2.0 ? 0.3 * timeGap : 2.0;

    DSU local(m);
    for (int p = 0; p < m; ++p) {
        const Photo &pp = photos[size_t(group[size_t(p)])];
        for (int q = p + 1; q < m; ++q) {
            // Joining what is already joined changes nothing: skip the distance then.
            if (local.find(p) == local.find(q))
                continue;
            const Photo &pq = photos[size_t(group[size_t(q)])];
            const double dt = pq.captureDate - pp.captureDate;
            float d = noDistance;
            if (pp.featurePrint && pq.featurePrint)
                d = distance(*pp.featurePrint, *pq.featurePrint);
            if (d <= a || (dt <= w && d <= b))
                local.unite(p, q);
        }
    }

    std::vector<std::vector<int>> parts(static_cast<size_t>(m));
    for (int k = 0; k < m; ++k)
        parts[size_t(local.find(k))].push_back(group[size_t(k)]);
    std::vector<std::vector<int>> lists;
    for (auto &part : parts) {
        if (part.empty())
            continue;
        std::sort(part.begin(), part.end());
        lists.push_back(std::move(part));
    }
    std::sort(lists.begin(), lists.end(),
              [](const auto &x, const auto &y) { return x.front() < y.front(); });

    if (lists.size() == 1) {
        chunk(group, maxSize, into);
        return;
    }
    for (const auto &list : lists)
        splitOversized(list, photos, maxSize, simThreshold, timeGap, depth + 1, into);
}

} // namespace mendral::Clusterer
