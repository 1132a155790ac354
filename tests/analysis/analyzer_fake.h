#pragma once

// A vision backend for the analysis tests: faces are whatever the test says, eyes are shut
// where the image is red, and every call is recorded.

#include "vision/vision.h"

#include <QImage>
#include <QSize>

#include <mutex>
#include <vector>

namespace mendral::test {

class FakeVision : public Vision {
public:
    std::optional<FacesAndHumans> found = FacesAndHumans{};
    bool scenePrints = true;
    bool facePrints = true;
    bool landmarksFail = false;

    mutable std::mutex mutex;
    mutable std::vector<QSize> sceneSizes, detectSizes, landmarkSizes, facePrintSizes;

    std::optional<FeaturePrint> sceneFeaturePrint(const QImage &image) const override;
    std::optional<FeaturePrint> faceFeaturePrint(const QImage &faceCrop) const override;
    std::optional<FacesAndHumans> detectFacesAndHumans(const QImage &image) const override;
    std::optional<std::vector<FaceLandmarks>> detectLandmarks(const QImage &image) const override;
};

/** A face box centred at (cx, cy), normalised with the origin at the bottom left. */
FaceObservation faceAt(double cx, double cy, double w, double h, std::optional<float> quality = 0.8f);

/** A print of these floats. */
FeaturePrint floats(std::vector<float> v);

/** An eye outline of `ratio` height over width, as a list of points. */
std::vector<QPointF> eyeOutline(double ratio);

} // namespace mendral::test
