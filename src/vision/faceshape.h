#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <array>
#include <optional>
#include <span>
#include <vector>

namespace mendral {

/** The 68 facial landmark points of one face, in the pixel coordinates of the image searched. */
using FaceShape = std::array<QPointF, 68>;

/** Path of the 68-point landmark model that the system's dlib data package installs. */
QString faceShapeModelPath();

/** True when the landmark model could be loaded (it is loaded once, on first use). */
bool faceShapeModelAvailable();

/**
 * The 68 landmarks of the face in `facePixels` (a face detector's box, pixel coordinates of
 * `image`). The face is cut out with a margin and scaled so that the box is about 240 pixels
 * wide before the model runs: on small faces the eye points otherwise jitter. The points come
 * back in `image`'s pixel coordinates. Nothing when the model is missing, the box is empty or
 * the image is null. Thread-safe.
 */
std::optional<FaceShape> faceShape68(const QImage &image, const QRectF &facePixels);

/**
 * faceShape68 for each of `boxes` on one image, with the same points as one call a box, in
 * less time: fits of one face from nearby boxes share most of their reads of the model.
 */
std::vector<std::optional<FaceShape>> faceShapes68(const QImage &image, std::span<const QRectF> boxes);

/**
 * The pixels around `facePixels` that faceShape68 reads (the box with its margin), before they
 * are clipped to the image.
 */
QRect faceShapeArea(const QRectF &facePixels);

/** Point ranges of the 68-point layout. */
namespace shape68 {
constexpr int jawFirst = 0, jawLast = 16;
constexpr int noseTip = 30;
constexpr int rightEyeFirst = 36, rightEyeLast = 41; // the subject's right eye: image left
constexpr int leftEyeFirst = 42, leftEyeLast = 47;   // the subject's left eye: image right
} // namespace shape68

} // namespace mendral
