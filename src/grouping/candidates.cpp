#include "grouping/candidates.h"

#include "grouping/printmath.h"

#include <algorithm>

namespace mendral::Clusterer {

void offerNeighbour(std::vector<Neighbour> &list, int j, float d)
{
    if (list.size() < size_t(maxNeighbours)) {
        list.push_back({j, d});
        return;
    }
    size_t worst = 0;
    for (size_t k = 1; k < list.size(); ++k)
        if (list[k].d > list[worst].d)
            worst = k;
    if (d < list[worst].d)
        list[worst] = {j, d};
}

CandidateScan scanCandidates(const std::vector<const std::vector<float> *> &prints,
                             const std::vector<double> &times, double visualWindow,
                             const std::function<void(double)> &progress)
{
    if (auto scan = scanCandidatesBlocked(prints, times, visualWindow, progress))
        return std::move(*scan);
    return scanCandidatesPlain(prints, times, visualWindow, progress);
}

CandidateScan scanCandidatesPlain(const std::vector<const std::vector<float> *> &prints,
                             const std::vector<double> &times, double visualWindow,
                             const std::function<void(double)> &progress)
{
    const int n = int(times.size());
    CandidateScan out;
    out.nearest.assign(size_t(n), noDistance);
    out.neighbours.resize(size_t(n));
    const long long total = std::max<long long>((long long)n * (n - 1), 2) / 2;
    long long compared = 0;
    for (int i = 0; i + 1 < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            if (times[size_t(j)] - times[size_t(i)] > visualWindow)
                break;
            const float d = prints[size_t(i)] && prints[size_t(j)]
                                ? distance(*prints[size_t(i)], *prints[size_t(j)])
                                : noDistance;
            if (d < out.nearest[size_t(i)])
                out.nearest[size_t(i)] = d;
            if (d < out.nearest[size_t(j)])
                out.nearest[size_t(j)] = d;
            if (d <= neighbourLimit)
                offerNeighbour(out.neighbours[size_t(i)], j, d);
            ++compared;
        }
        if (i % 16 == 0 && progress)
            progress(std::min(double(compared) / double(total), 0.9));
    }
    if (progress)
        progress(1.0);
    return out;
}

} // namespace mendral::Clusterer
