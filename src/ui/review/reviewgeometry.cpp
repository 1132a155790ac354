#include "ui/review/reviewgeometry.h"

#include <algorithm>

namespace mendral::reviewgeometry {

GridShape compareGrid(int n)
{
    if (n <= 1)
        return {1, 1};
    if (n == 2)
        return {2, 1};
    if (n <= 4)
        return {2, 2};
    if (n <= 6)
        return {3, 2};
    if (n <= 9)
        return {3, 3};
    if (n <= 12)
        return {4, 3};
    if (n <= 20)
        return {5, 4};
    return {5, (n + 4) / 5};
}

QSizeF compareCellSize(int n, QSizeF canvas)
{
    const GridShape shape = compareGrid(n);
    const int visible = std::min(shape.rows, maxVisibleRows);
    const double w = (canvas.width() - 2 * gridPadding - (shape.cols - 1) * gridGap) / shape.cols;
    const double h = (canvas.height() - 2 * gridPadding - (visible - 1) * gridGap) / visible;
    return {std::max(w, minCellSide), std::max(h, minCellSide)};
}

bool compareGridScrolls(int n)
{
    return compareGrid(n).rows > maxVisibleRows;
}

QSizeF compareGridSize(int n, QSizeF canvas)
{
    const GridShape shape = compareGrid(n);
    const QSizeF cell = compareCellSize(n, canvas);
    return {2 * gridPadding + shape.cols * cell.width() + (shape.cols - 1) * gridGap,
            2 * gridPadding + shape.rows * cell.height() + (shape.rows - 1) * gridGap};
}

std::vector<QRectF> compareCellFrames(int n, QSizeF canvas)
{
    std::vector<QRectF> frames;
    if (n <= 0)
        return frames;
    const GridShape shape = compareGrid(n);
    const QSizeF cell = compareCellSize(n, canvas);
    frames.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const int row = i / shape.cols, col = i % shape.cols;
        frames.emplace_back(gridPadding + col * (cell.width() + gridGap),
                            gridPadding + row * (cell.height() + gridGap), cell.width(), cell.height());
    }
    return frames;
}

QRectF fittedRect(QSizeF imageSize, QSizeF area)
{
    if (imageSize.width() <= 0 || imageSize.height() <= 0 || area.width() <= 0 || area.height() <= 0)
        return {};
    const double s = std::min(area.height() / imageSize.height(), area.width() / imageSize.width());
    const QSizeF shown(s * imageSize.width(), s * imageSize.height());
    return {QPointF((area.width() - shown.width()) / 2, (area.height() - shown.height()) / 2), shown};
}

bool isPannable(QSizeF image, QSizeF view)
{
    return view.width() + 1 < image.width() || image.height() > view.height() + 1;
}

QPointF centredOffset(QSizeF image, QSizeF view)
{
    return {(view.width() - image.width()) / 2, (view.height() - image.height()) / 2};
}

namespace {
double clampAxis(double v, double viewSide, double imageSide)
{
    if (viewSide < imageSide)
        return std::min(std::max(v, viewSide - imageSide), 0.0);
    return (viewSide - imageSide) / 2;
}
} // namespace

QPointF clampOffset(QPointF offset, QSizeF image, QSizeF view)
{
    return {clampAxis(offset.x(), view.width(), image.width()),
            clampAxis(offset.y(), view.height(), image.height())};
}

QPointF faceOffset(const std::vector<NormRect> &faces, QSizeF image, QSizeF view)
{
    if (image.width() <= 0 || image.height() <= 0 || faces.empty())
        return centredOffset(image, view);
    const NormRect *largest = &faces.front();
    for (const NormRect &f : faces)
        if (f.w * f.h > largest->w * largest->h)
            largest = &f;
    const double mx = largest->x + largest->w / 2;
    const double my = largest->y + largest->h / 2;
    return {view.width() / 2 - mx * image.width(), view.height() / 2 - (1 - my) * image.height()};
}

QPointF offsetForSpot(QPointF spot, QSizeF image, QSizeF view)
{
    return {view.width() / 2 - spot.x() * image.width(), view.height() / 2 - spot.y() * image.height()};
}

QPointF spotForOffset(QPointF offset, QSizeF image, QSizeF view)
{
    if (image.width() <= 0 || image.height() <= 0)
        return {0.5, 0.5};
    return {(view.width() / 2 - offset.x()) / image.width(), (view.height() / 2 - offset.y()) / image.height()};
}

QPointF faceSpot(const std::vector<NormRect> &faces)
{
    if (faces.empty())
        return {0.5, 0.5};
    const NormRect *largest = &faces.front();
    for (const NormRect &f : faces)
        if (f.w * f.h > largest->w * largest->h)
            largest = &f;
    return {largest->x + largest->w / 2, 1 - (largest->y + largest->h / 2)};
}

QRectF visibleImageRect(QPointF offset, QSizeF image, QSizeF view)
{
    if (image.width() <= 0 || image.height() <= 0)
        return {};
    const QRectF shown = QRectF(-offset, view).intersected(QRectF(QPointF(0, 0), image));
    return {shown.x() / image.width(), shown.y() / image.height(), shown.width() / image.width(),
            shown.height() / image.height()};
}

} // namespace mendral::reviewgeometry
