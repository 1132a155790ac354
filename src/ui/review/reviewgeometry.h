#pragma once

#include "vision/vision.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <vector>

namespace mendral {

/** Columns and rows of the comparison grid. */
struct GridShape {
    int cols = 1;
    int rows = 1;
    bool operator==(const GridShape &) const = default;
};

/**
 * Geometry of the review screen, kept apart from the widgets so it can be checked on its own:
 * the comparison grid, the fitted photo, and the offsets of the 100 % view.
 */
namespace reviewgeometry {

inline constexpr double gridGap = 4;      // between comparison cells
inline constexpr double gridPadding = 4;  // around the grid
inline constexpr double minCellSide = 60; // cells never get smaller than this
inline constexpr int maxVisibleRows = 4;  // more rows scroll

/** Grid shape for n photos. */
GridShape compareGrid(int n);
/** Size of one comparison cell for n photos in a canvas of the given size. */
QSizeF compareCellSize(int n, QSizeF canvas);
/** Whether the grid for n photos scrolls (more rows than fit). */
bool compareGridScrolls(int n);
/** Size of the whole grid, padding included. */
QSizeF compareGridSize(int n, QSizeF canvas);
/**
 * Frames of the n real cells in the grid's own coordinates (its top-left corner at 0, 0),
 * in layout order; empty slots have none.
 */
std::vector<QRectF> compareCellFrames(int n, QSizeF canvas);

/** The rectangle a picture of imageSize takes when fitted whole and centred in area. */
QRectF fittedRect(QSizeF imageSize, QSizeF area);

/** An image overhangs the view by more than one point along at least one axis. */
bool isPannable(QSizeF image, QSizeF view);
/** Offset that centres the image in the view (negative where it overhangs). */
QPointF centredOffset(QSizeF image, QSizeF view);
/**
 * Keeps an offset (the image's top-left corner relative to the view's) inside what the image
 * allows: on an axis where the image is larger it covers the whole view, where it is smaller it
 * is centred.
 */
QPointF clampOffset(QPointF offset, QSizeF image, QSizeF view);
/**
 * Unclamped offset that puts the centre of the largest face (first among equals) at the view's
 * centre; the centred offset when there is no face or the image has no size. Boxes are
 * normalised with the origin at the bottom left.
 */
QPointF faceOffset(const std::vector<NormRect> &faces, QSizeF image, QSizeF view);

/**
 * A spot is a point of the image in image-relative coordinates (0…1 each axis, origin top
 * left); the 100 % views keep it at the view's centre. These convert between a spot and the
 * (unclamped) offset that centres it.
 */
QPointF offsetForSpot(QPointF spot, QSizeF image, QSizeF view);
QPointF spotForOffset(QPointF offset, QSizeF image, QSizeF view);
/** The spot of the largest face's centre (first among equals); the image centre without faces. */
QPointF faceSpot(const std::vector<NormRect> &faces);
/** The part of the image a view shows at an offset, in image-relative coordinates. */
QRectF visibleImageRect(QPointF offset, QSizeF image, QSizeF view);

} // namespace reviewgeometry
} // namespace mendral
