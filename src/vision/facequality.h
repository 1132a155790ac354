#pragma once

#include "vision/eyeoutline.h"
#include "vision/facedetector.h"
#include "vision/faceshape.h"

#include <QImage>
#include <QRectF>

#include <optional>

namespace mendral {

/** The measured parts of a face's capture quality, each in 0…1 (1 is best). */
struct FaceQualityParts {
    double sharpness = 0;  // detail inside the face at a fixed scale
    double exposure = 0;   // face brightness near a mid tone, few clipped pixels
    double frontality = 0.5; // 1 facing the camera, towards 0 in profile; 0.5 when unknown
    double eyes = 0.5;     // openness of the less open eye; 0.5 when unknown
    double confidence = 0; // the detector's score, squashed
    // The sharpness was read from at least as many pixels of the face as it is measured at,
    // so a low figure is blur and not the softness of an enlarged small face.
    bool sharpnessAtFullScale = false;
};

/**
 * Weighted sum of the parts (see facequality.cpp), in 0…1; a face measured at full scale and
 * found blurred scores low whatever its other parts.
 */
double combineFaceQuality(const FaceQualityParts &parts);

/** Sharpness part from the Laplacian variance of the face at the fixed measuring scale. */
double sharpnessPart(double laplacianVariance);

/** Exposure part from the face's mean grey (0…1) and its fraction of clipped pixels. */
double exposurePart(double meanGrey, double clippedFraction);

/** Frontality from the landmarks: how evenly the nose sits between the two sides of the jaw. */
double frontalityPart(const FaceShape &shape);

/** Confidence part from the detector's score. */
double confidencePart(double detectorScore);

/** Openness (0…1) of the less open eye, from the landmarks, on the calibrated scale. */
double eyesPart(const FaceShape &shape);

/** The same from the two eyes' outlines (pixels, either order). */
double eyesPart(const EyePoints &one, const EyePoints &other);

/**
 * Measures every part of the face in `faceBox` (pixels of `image`) and combines them.
 * `shape` is the face's landmarks when they could be found.
 */
FaceQualityParts measureFaceQuality(const QImage &image, const QRectF &faceBox,
                                    const std::optional<FaceShape> &shape, double detectorScore);

} // namespace mendral
