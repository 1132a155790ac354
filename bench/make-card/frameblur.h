#pragma once

#include <QImage>
#include <QRectF>

#include <vector>

namespace mendral::card {

/**
 * Gaussian blur of any sigma, also below a pixel: three passes each way of a box whose two
 * outer taps carry a fractional weight, chosen so that the variances add up to sigma^2 exactly.
 * Returns the sigma applied (0 when nothing was done).
 */
double blur(QImage &image, double sigma);

/**
 * Camera shake: the mean of the image along a straight line of `length` pixels through each
 * pixel, at `angle` radians from the x axis (y down). Returns the length applied.
 */
double motionBlur(QImage &image, double length, double angle);

/**
 * Missed focus on the subject: Gaussian blur inside each ellipse (given by its bounding box),
 * fading out over the outer quarter of its radius; the rest of the image is left untouched.
 * Returns whether any ellipse touched the image.
 */
bool blurEllipses(QImage &image, const std::vector<QRectF> &ellipses, double sigma);

} // namespace mendral::card
