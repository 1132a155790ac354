#pragma once

#include "vision/facedetector.h"
#include "vision/vision.h"

#include <QRectF>

#include <array>
#include <vector>

namespace mendral {

/**
 * Faces of `image` with their capture quality, largest first, boxes normalised with the origin
 * at the bottom left. Searched at a long side of 2400 pixels (smaller images are enlarged);
 * small faces only around `people` when given (see FaceSearch::people).
 */
std::vector<FaceObservation> detectFaceObservations(
    const QImage &image, const std::optional<std::vector<QPointF>> &people = std::nullopt);

/**
 * Faces of `image` with their eye outlines (calibrated; see eyeoutline.h) and the eye
 * network's lid gap (see eyelids.h), largest first. Faces and landmarks are found on `image`
 * scaled to a long side of 240 (the eye check hands over crops of at most 480 pixels, the face
 * about 0.37 of them); the eye network reads `image` at its own size. A face whose landmarks
 * fail is listed without eyes.
 */
std::vector<FaceLandmarks> detectFaceLandmarks(const QImage &image);

/**
 * Capture quality (0…1) of a detected face in the image it was found in: its landmarks, then
 * every part measured and combined (see facequality.h). The eyes are read from the same
 * landmark fits as the eye check and count as unknown when those fits disagree.
 */
double faceCaptureQuality(const QImage &image, const DetectedFace &face);

/**
 * The boxes the eye check fits a face's landmarks from: the detector's own `box` first, then four
 * moved or scaled by 5 %.
 */
std::array<QRectF, 5> eyeFitBoxes(const QRectF &box);

/** A pixel box (y down) as a normalised rectangle with the origin at the bottom left, clipped to the image. */
NormRect toNormRect(const QRectF &pixels, int width, int height);

} // namespace mendral
