#include "grouping/clusterer.h"

#include "grouping/candidates.h"
#include "grouping/gate.h"
#include "grouping/split.h"

#include <algorithm>

namespace mendral::Clusterer {

namespace {

constexpr double burstWindow = 0.8; // seconds: frames this close are one moment

std::vector<std::vector<int>> sortedByFirst(std::vector<std::vector<int>> lists)
{
    std::sort(lists.begin(), lists.end(), [](const auto &x, const auto &y) {
        return (x.empty() ? 0 : x.front()) < (y.empty() ? 0 : y.front());
    });
    return lists;
}

} // namespace

ClusterResult run(const std::vector<Photo> &photos, const ClusterOptions &options,
                  const Progress &progress)
{
    const int n = int(photos.size());
    if (n == 0)
        return {};
    if (n == 1)
        return {{{0}}, 0.0f};

    std::vector<const std::vector<float> *> prints(size_t(n), nullptr);
    std::vector<double> times(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const Photo &p = photos[size_t(i)];
        if (p.featurePrint)
            prints[size_t(i)] = &*p.featurePrint;
        times[size_t(i)] = p.captureDate;
    }

    const CandidateScan scan = scanCandidates(prints, times, options.visualWindow, progress);
    const float base =
        options.autoCalibrate ? calibrate(scan.nearest, 1.0f) : options.fallbackThreshold;
    const Thresholds th = thresholds(base, options.simFactor);

    MergeGate gate(photos, options, th.strict);
    // Loose pass: visually close pairs anywhere in the window, through every gate.
    for (int i = 0; i < n; ++i)
        for (const Neighbour &nb : scan.neighbours[size_t(i)])
            if (nb.d <= th.loose)
                gate.tryUnion(i, nb.j, nb.d, times[size_t(nb.j)] - times[size_t(i)]);
    // Strict pass: very close pairs taken at the same moment.
    for (int i = 0; i < n; ++i)
        for (const Neighbour &nb : scan.neighbours[size_t(i)]) {
            const double dt = times[size_t(nb.j)] - times[size_t(i)];
            if (nb.d <= th.strict && dt <= options.timeGap)
                gate.tryUnion(i, nb.j, nb.d, dt);
        }
    // Small faces: the print is all there is to go by, so allow a wider distance.
    for (int i = 0; i < n; ++i)
        for (const Neighbour &nb : scan.neighbours[size_t(i)])
            gate.trySmallFaceUnion(i, nb.j, nb.d, times[size_t(nb.j)] - times[size_t(i)]);

    DSU &dsu = gate.dsu();
    // Bursts: frames fractions of a second apart belong together whatever they show.
    for (int i = 0; i + 1 < n; ++i)
        for (int j = i + 1; j < n && times[size_t(j)] - times[size_t(i)] <= burstWindow; ++j)
            dsu.unite(i, j);
    // Photos without a print can only be grouped by time.
    for (int i = 0; i + 1 < n; ++i) {
        if (photos[size_t(i)].featurePrint)
            continue;
        for (int k = i + 1; k < n && times[size_t(k)] - times[size_t(i)] <= options.timeGap; ++k)
            if (!photos[size_t(k)].featurePrint)
                dsu.unite(i, k);
    }

    std::vector<std::vector<int>> byRoot(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        byRoot[size_t(dsu.find(i))].push_back(i);
    std::vector<std::vector<int>> lists;
    for (auto &list : byRoot)
        if (!list.empty())
            lists.push_back(std::move(list)); // already ascending
    lists = sortedByFirst(std::move(lists));

    std::vector<std::vector<int>> out;
    const int maxSize = std::max(options.maxGroupSize, 2);
    for (const auto &list : lists)
        splitOversized(list, photos, maxSize, th.loose, options.timeGap, 0, out);
    return {sortedByFirst(std::move(out)), th.loose};
}

std::vector<std::vector<int>> cluster(const std::vector<Photo> &photos,
                                      const ClusterOptions &options, const Progress &progress)
{
    return run(photos, options, progress).groups;
}

} // namespace mendral::Clusterer
