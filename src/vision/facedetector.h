#pragma once

#include <QImage>
#include <QPointF>
#include <QRectF>

#include <optional>
#include <vector>

namespace mendral {

/**
 * One face found by the HOG detector: its box in the searched image's pixels (it may reach past
 * the image edge) and its score.
 */
struct DetectedFace {
    QRectF box;
    double confidence = 0; // the detector's score; true faces score above 0, most above 0.15
};

/** How to search an image for faces. */
struct FaceSearch {
    // The image is scaled so that its long side lies in this range before the search. The
    // detector's window is 80 pixels, so at 2400 pixels faces down to about 3 % of the long
    // side are found; small images are enlarged so that their faces reach the window too.
    int minLongSide = 2400;
    int maxLongSide = 2400;
    // Scores at or below this are dropped. Measured on portraits and groups: true faces scored
    // 0.16 to 2.9; false hits at most 0.12 (a badge on an enlarged small image).
    double minConfidence = 0.15;
    // Where the people of the image stand (centres, normalised to its width and height, y
    // down), when known. Then the whole image is searched at a coarse size, and faces too
    // small for it are looked for only around these people (see facedetector.cpp); an image
    // known to hold no people is not searched.
    std::optional<std::vector<QPointF>> people;
};

/**
 * Faces in `image` by dlib's frontal HOG detector (no model file), largest first. Empty when
 * there are none or the image is null. Thread-safe.
 */
std::vector<DetectedFace> detectFaces(const QImage &image, const FaceSearch &search = {});

} // namespace mendral
