// The candidate scan compares every photo with every later photo of the day: tens of millions
// of 480-float dot products for a large card. This path computes them in 4 × 4 blocks so
// each loaded vector serves four products, over tiles of rows that stay in cache. Every dot
// product is still summed in the one fixed order (see printmath.h), and each photo still sees
// its later photos in ascending order, so the result equals the plain scan bit for bit.
#include "grouping/candidates.h"

#include "grouping/printkernels.h"
#include "grouping/printmath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace mendral::Clusterer {

namespace {

constexpr size_t laneCount = 16;
constexpr int block = kernels::blockSize; // rows and columns of one block of products
constexpr int tileRows = 256;              // rows kept hot while all their columns stream past

struct FreeDeleter {
    void operator()(float *p) const { std::free(p); }
};

// Where each photo's row of comparisons stops: the first later photo beyond the window.
std::vector<int> rowEnds(const std::vector<double> &times, double window)
{
    const int n = int(times.size());
    std::vector<int> end(static_cast<size_t>(n), n);
    bool ordered = true;
    for (int i = 0; i < n && ordered; ++i)
        ordered = std::isfinite(times[size_t(i)]) && (i == 0 || times[size_t(i - 1)] <= times[size_t(i)]);
    int j = 1;
    for (int i = 0; i < n; ++i) {
        if (!ordered)
            j = i + 1; // out of order: every row looks for itself
        j = std::max(j, i + 1);
        while (j < n && !(times[size_t(j)] - times[size_t(i)] > window))
            ++j;
        end[size_t(i)] = j;
    }
    return end;
}

// Index of the first entry with the largest distance.
int worstEntry(const std::vector<Neighbour> &list)
{
    int worst = 0;
    for (int k = 1; k < int(list.size()); ++k)
        if (list[size_t(k)].d > list[size_t(worst)].d)
            worst = k;
    return worst;
}

} // namespace

std::optional<CandidateScan> scanCandidatesBlocked(
    const std::vector<const std::vector<float> *> &prints, const std::vector<double> &times,
    double visualWindow, const std::function<void(double)> &progress)
{
    const int n = int(times.size());
    size_t length = 0;
    std::vector<int> photoOf; // compact row → photo index, ascending
    for (int i = 0; i < n; ++i) {
        const auto *p = prints[size_t(i)];
        if (!p || p->empty())
            continue; // no print: every distance is "none"
        if (length != 0 && p->size() != length)
            return std::nullopt;
        length = p->size();
        photoOf.push_back(i);
    }
    const int m = int(photoOf.size());
    const size_t stride = (length + laneCount - 1) / laneCount * laneCount;
    const int paddedRows = (m + block - 1) / block * block;
    std::unique_ptr<float, FreeDeleter> matrix(static_cast<float *>(
        std::aligned_alloc(64, std::max<size_t>(size_t(paddedRows) * stride, laneCount) * sizeof(float))));
    if (!matrix)
        return std::nullopt;
    float *rows = matrix.get();
    std::memset(rows, 0, size_t(paddedRows) * stride * sizeof(float));
    for (int c = 0; c < m; ++c) {
        const auto &p = *prints[size_t(photoOf[size_t(c)])];
        std::memcpy(rows + size_t(c) * stride, p.data(), length * sizeof(float));
    }

    const std::vector<int> end = rowEnds(times, visualWindow);
    std::vector<int> colEnd(static_cast<size_t>(m));
    for (int c = 0; c < m; ++c)
        colEnd[size_t(c)] = int(std::lower_bound(photoOf.begin(), photoOf.end(),
                                                 end[size_t(photoOf[size_t(c)])]) - photoOf.begin());

    CandidateScan out;
    out.nearest.assign(static_cast<size_t>(n), noDistance);
    out.neighbours.resize(static_cast<size_t>(n));
    std::vector<int> worst(static_cast<size_t>(n), 0);

    // Progress as the pair-by-pair scan reports it: after every 16th row of photos.
    const long long total = std::max<long long>((long long)n * (n - 1), 2) / 2;
    long long compared = 0;
    int nextRow = 0;
    auto reportRowsBefore = [&](int photo) {
        for (; nextRow < std::min(photo, n - 1); ++nextRow) {
            compared += end[size_t(nextRow)] - nextRow - 1;
            if (nextRow % 16 == 0 && progress)
                progress(std::min(double(compared) / double(total), 0.9));
        }
    };

    float dots[block * block];
    for (int c0 = 0; c0 < m; c0 += tileRows) {
        const int c1 = std::min(c0 + tileRows, m);
        int tileEnd = 0;
        for (int c = c0; c < c1; ++c)
            tileEnd = std::max(tileEnd, colEnd[size_t(c)]);
        for (int cb = c0; cb < tileEnd; cb += block) {
            for (int rq = c0; rq < c1 && rq <= cb; rq += block) {
                int quadEnd = 0;
                for (int r = rq; r < std::min(rq + block, c1); ++r)
                    quadEnd = std::max(quadEnd, colEnd[size_t(r)]);
                if (quadEnd <= cb)
                    continue;
                dotBlock(rows + size_t(rq) * stride, rows + size_t(cb) * stride, stride, dots);
                for (int r = 0; r < block; ++r) {
                    const int c = rq + r;
                    if (c >= c1)
                        break;
                    const int i = photoOf[size_t(c)];
                    auto &list = out.neighbours[size_t(i)];
                    for (int q = 0; q < block; ++q) {
                        const int c2 = cb + q;
                        if (c2 <= c || c2 >= colEnd[size_t(c)])
                            continue;
                        const int j = photoOf[size_t(c2)];
                        const float d = distanceFromDot(dots[r * block + q]);
                        if (d < out.nearest[size_t(i)])
                            out.nearest[size_t(i)] = d;
                        if (d < out.nearest[size_t(j)])
                            out.nearest[size_t(j)] = d;
                        if (!(d <= neighbourLimit))
                            continue;
                        if (list.size() < size_t(maxNeighbours)) {
                            list.push_back({j, d});
                            if (list.size() == size_t(maxNeighbours))
                                worst[size_t(i)] = worstEntry(list);
                        } else if (d < list[size_t(worst[size_t(i)])].d) {
                            list[size_t(worst[size_t(i)])] = {j, d};
                            worst[size_t(i)] = worstEntry(list);
                        }
                    }
                }
            }
        }
        reportRowsBefore(c1 < m ? photoOf[size_t(c1)] : n);
    }
    reportRowsBefore(n);
    if (progress)
        progress(1.0);
    return out;
}

} // namespace mendral::Clusterer
