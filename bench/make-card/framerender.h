#pragma once

#include "cardplan.h"

#include <QImage>
#include <QSize>

namespace mendral::card {

/** Frame size for a source: 4:3 with the given long side, upright when the source is. */
QSize frameSize(QSize sourceSize, int longSide);

/**
 * The scene's base picture: the source decoded upright and scaled once so that it covers the
 * frame with room for every crop of the scene. Null when the source cannot be read.
 */
QImage loadBase(const QString &path, int longSide, QSize *frame);

/** Cuts, enlarges, exposes and blurs one frame of `size` from the base; reports the blur applied. */
QImage renderFrame(const QImage &base, QSize size, const Frame &frame, double *appliedSigma = nullptr);

/** Brightness change by a linear factor, applied in linear light to 8-bit sRGB-like values. */
void applyGain(QImage &image, double gain);

/**
 * Approximately Gaussian blur: three box passes each way, box radius chosen so that the
 * combined spread matches sigma. Returns the sigma actually applied (0 when nothing was done).
 */
double blur(QImage &image, double sigma);

} // namespace mendral::card
