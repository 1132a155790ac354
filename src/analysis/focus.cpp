#include "analysis/focus.h"

#include <algorithm>
#include <vector>

namespace mendral::Analyzer {

namespace {

// A tile whose coarse detail (summed over the directions) is below this is flat: its ratio
// is JPEG noise over nothing.
constexpr double kFlatEnergy = 4.0;
// The ratio is taken over the most detailed quarter of the tiles: where the subject's texture
// is, and where a photographer looks to judge focus.
constexpr double kShareOfTiles = 0.25;
// What rounding to whole grey levels alone puts into the fine energy: variance 1/12 a pixel,
// (4 + 1 + 1) / 12 through a second difference. Taken off, so that a frame blurred far enough
// to keep no fine detail reads near zero rather than as its rounding over its faint detail.
constexpr double kRoundingEnergy = 6.0 / 12.0;

// Second differences along four directions: rows, columns and both diagonals. A shaken frame
// is blurred along one direction only and keeps its detail across it; the direction that lost
// the most tells the shake.
constexpr int kDirections = 4;

struct TileEnergy {
    double fine[kDirections] = {};
    double coarse[kDirections] = {};
    double detail = 0; // coarse energy over all directions: how much there is to judge
};

// Mean squared second difference along each direction over rows [y0, y1) and columns
// [x0, x1) of a float image of width w; the caller keeps the range one pixel off every edge.
// Each row is summed in eight float lanes that the compiler runs side by side (the squares of
// whole and quarter grey levels are exact in a float), and the rows in doubles.
void secondDifferences(const std::vector<float> &g, int w, int x0, int x1, int y0, int y1,
                       double (&out)[kDirections])
{
    constexpr int kLanes = 8;
    const ptrdiff_t step[kDirections] = {1, w, w + 1, w - 1};
    const int n = x1 - x0;
    for (int d = 0; d < kDirections; ++d) {
        const ptrdiff_t s = step[d];
        double sum = 0;
        for (int y = y0; y < y1; ++y) {
            const float *p = g.data() + size_t(y) * size_t(w) + size_t(x0);
            float lane[kLanes] = {};
            int x = 0;
            for (; x + kLanes <= n; x += kLanes)
                for (int l = 0; l < kLanes; ++l) {
                    const float v = p[x + l - s] + p[x + l + s] - 2.0f * p[x + l];
                    lane[l] += v * v;
                }
            double row = 0;
            for (float v : lane)
                row += double(v);
            for (; x < n; ++x) {
                const float v = p[x - s] + p[x + s] - 2.0f * p[x];
                row += double(v * v);
            }
            sum += row;
        }
        out[d] = sum / double(n * (y1 - y0));
    }
}

} // namespace

std::optional<float> focusRatio(const QImage &gray, QRect region, int tile)
{
    if (gray.isNull() || gray.format() != QImage::Format_Grayscale8 || tile < 8)
        return std::nullopt;
    tile &= ~1;
    if (region.isEmpty())
        region = gray.rect();
    region = region.intersected(gray.rect());
    // Whole tiles only, at least two each way, so the ratio never rests on a sliver.
    const int cols = region.width() / tile, rows = region.height() / tile;
    if (cols < 2 || rows < 2)
        return std::nullopt;
    const int w = cols * tile, h = rows * tile, half = tile / 2;

    std::vector<float> fine(size_t(w) * size_t(h));
    for (int y = 0; y < h; ++y) {
        const uchar *in = gray.constScanLine(region.y() + y) + region.x();
        std::copy(in, in + w, fine.begin() + ptrdiff_t(y) * w);
    }
    // One octave down: the mean of each 2 x 2 block.
    const int cw = w / 2, ch = h / 2;
    std::vector<float> coarse(size_t(cw) * size_t(ch));
    for (int y = 0; y < ch; ++y)
        for (int x = 0; x < cw; ++x) {
            const float *a = fine.data() + size_t(2 * y) * size_t(w) + size_t(2 * x);
            coarse[size_t(y) * size_t(cw) + size_t(x)] = 0.25f * (a[0] + a[1] + a[w] + a[w + 1]);
        }

    std::vector<TileEnergy> tiles;
    tiles.reserve(size_t(cols) * size_t(rows));
    for (int ty = 0; ty < rows; ++ty)
        for (int tx = 0; tx < cols; ++tx) {
            // Tiles keep off the region's outer pixel, where a second difference has no neighbours.
            const int fx0 = std::max(1, tx * tile), fx1 = std::min(w - 1, (tx + 1) * tile);
            const int fy0 = std::max(1, ty * tile), fy1 = std::min(h - 1, (ty + 1) * tile);
            const int cx0 = std::max(1, tx * half), cx1 = std::min(cw - 1, (tx + 1) * half);
            const int cy0 = std::max(1, ty * half), cy1 = std::min(ch - 1, (ty + 1) * half);
            TileEnergy e;
            secondDifferences(fine, w, fx0, fx1, fy0, fy1, e.fine);
            secondDifferences(coarse, cw, cx0, cx1, cy0, cy1, e.coarse);
            for (int d = 0; d < kDirections; ++d) {
                e.fine[d] = std::max(0.0, e.fine[d] - kRoundingEnergy);
                e.detail += e.coarse[d];
            }
            if (e.detail >= kFlatEnergy)
                tiles.push_back(e);
        }
    if (tiles.empty())
        return std::nullopt;
    const size_t keep = std::max<size_t>(1, size_t(double(cols * rows) * kShareOfTiles));
    if (tiles.size() > keep) {
        std::nth_element(tiles.begin(), tiles.begin() + ptrdiff_t(keep) - 1, tiles.end(),
                         [](const TileEnergy &a, const TileEnergy &b) { return a.detail > b.detail; });
        tiles.resize(keep);
    }
    double ratio = -1;
    for (int d = 0; d < kDirections; ++d) {
        double fineSum = 0, coarseSum = 0;
        for (const TileEnergy &e : tiles)
            fineSum += e.fine[d], coarseSum += e.coarse[d];
        if (coarseSum > 0)
            ratio = ratio < 0 ? fineSum / coarseSum : std::min(ratio, fineSum / coarseSum);
    }
    if (ratio < 0)
        return std::nullopt;
    return float(ratio);
}

} // namespace mendral::Analyzer
