#pragma once

#include <QPointF>
#include <QRectF>

#include <array>
#include <vector>

namespace mendral {

/** The six outline points of one eye in the 68-point layout: corner, two upper lid points, corner, two lower lid points. */
using EyePoints = std::array<QPointF, 6>;

/**
 * Height over width of an eye outline, measured along the line through its corners so that a
 * tilted head does not change it. 0 when the corners coincide.
 */
double eyeAspectRatio(const EyePoints &eye);

/**
 * Maps a ratio measured on dlib's outlines onto the scale the openness score expects (an
 * outline 0.08 as high as wide is shut, 0.24 is fully open). dlib's outline stays flatter on
 * open eyes and never closes fully on shut ones; measured on labelled faces, ratio 0.13 is a
 * shut eye and 0.33 a fully open one, so those two map onto 0.08 and 0.24. Never negative.
 */
double calibratedEyeRatio(double dlibRatio);

/**
 * The eye outline as the vision component reports it: turned level (about the midpoint of its
 * corners), its height rescaled so that height over width equals calibratedEyeRatio of its own
 * ratio, and normalised to `faceBox` (pixel coordinates, y down) with the origin at the box's
 * bottom left. The ratio holds in those normalised units whatever the box's aspect.
 */
std::vector<QPointF> calibratedEyeOutline(const EyePoints &eye, const QRectF &faceBox);

} // namespace mendral
