#include "analysis/focus.h"

#include <algorithm>
#include <vector>

namespace mendral::Analyzer {

namespace {

// A tile whose coarse detail is below this (grey levels squared, per pixel) is flat: its ratio
// is JPEG noise over nothing.
constexpr double kFlatEnergy = 2.0;
// The ratio is taken over the most detailed quarter of the tiles: where the subject's texture
// is, and where a photographer looks to judge focus.
constexpr double kShareOfTiles = 0.25;
// What rounding to whole grey levels alone puts into the fine energy: variance 1/12 a pixel,
// (16 + 4) / 12 through the Laplacian. Taken off, so that a frame blurred far enough to keep
// no fine detail reads near zero rather than as its rounding over its faint coarse detail.
constexpr double kRoundingEnergy = 20.0 / 12.0;

struct TileEnergy {
    double fine = 0;
    double coarse = 0;
};

// Sum of squared 4-neighbour Laplacians over the pixels of rows [y0, y1) and columns
// [x0, x1) of a float image of width w; the caller keeps the range one pixel off every edge.
double laplacianEnergy(const std::vector<float> &g, int w, int x0, int x1, int y0, int y1)
{
    double sum = 0;
    for (int y = y0; y < y1; ++y) {
        const float *row = g.data() + size_t(y) * size_t(w);
        for (int x = x0; x < x1; ++x) {
            const float l = row[x - 1] + row[x + 1] + row[x - w] + row[x + w] - 4.0f * row[x];
            sum += double(l * l);
        }
    }
    return sum;
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
            // Tiles keep off the region's outer pixel, where the Laplacian has no neighbours.
            const int fx0 = std::max(1, tx * tile), fx1 = std::min(w - 1, (tx + 1) * tile);
            const int fy0 = std::max(1, ty * tile), fy1 = std::min(h - 1, (ty + 1) * tile);
            const int cx0 = std::max(1, tx * half), cx1 = std::min(cw - 1, (tx + 1) * half);
            const int cy0 = std::max(1, ty * half), cy1 = std::min(ch - 1, (ty + 1) * half);
            TileEnergy e;
            e.fine = std::max(0.0, laplacianEnergy(fine, w, fx0, fx1, fy0, fy1) / double((fx1 - fx0) * (fy1 - fy0))
                                       - kRoundingEnergy);
            e.coarse = laplacianEnergy(coarse, cw, cx0, cx1, cy0, cy1) / double((cx1 - cx0) * (cy1 - cy0));
            if (e.coarse >= kFlatEnergy)
                tiles.push_back(e);
        }
    if (tiles.empty())
        return std::nullopt;
    const size_t keep = std::max<size_t>(1, size_t(double(cols * rows) * kShareOfTiles));
    if (tiles.size() > keep) {
        std::nth_element(tiles.begin(), tiles.begin() + ptrdiff_t(keep) - 1, tiles.end(),
                         [](const TileEnergy &a, const TileEnergy &b) { return a.coarse > b.coarse; });
        tiles.resize(keep);
    }
    double fineSum = 0, coarseSum = 0;
    for (const TileEnergy &e : tiles)
        fineSum += e.fine, coarseSum += e.coarse;
    return float(fineSum / coarseSum);
}

} // namespace mendral::Analyzer
