#pragma once

#include "vision/eyeoutline.h"

#include <QImage>

#include <optional>

namespace mendral {

/**
 * The eye network's view of one eye: `eye`'s outline (landmark points in `image`) places it, and
 * the crop it reads is turned level, centred on the outline and 2.3 times the eye's width, a
 * subject's left eye mirrored. The gap between its lids over its width (see neural::lidGap);
 * nothing without the network or for an eye of no width.
 */
std::optional<double> lidGapOf(const QImage &image, const EyePoints &eye, bool subjectsLeftEye);

/**
 * The gap of the more open of a face's two eyes (a blink shuts both), the subject's right eye
 * read first and the left only when the right one's gap is under `enough`. Nothing when an eye
 * that is needed cannot be read.
 */
std::optional<double> widerLidGap(const QImage &image, const EyePoints &subjectsRight,
                                  const EyePoints &subjectsLeft, double enough);

} // namespace mendral
