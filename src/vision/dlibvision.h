#pragma once

#include "vision/vision.h"

#include <vector>

namespace mendral {

/**
 * The vision component of this program: dlib's HOG detector and 68-point landmarks for faces,
 * eyes and capture quality (facevision.h); the neural models for feature prints and people.
 * Stateless; without the model files the prints are absent and no people are counted.
 */
class DlibVision : public Vision {
public:
    std::optional<FeaturePrint> sceneFeaturePrint(const QImage &image) const override;
    std::optional<FeaturePrint> faceFeaturePrint(const QImage &faceCrop) const override;
    std::optional<FacesAndHumans> detectFacesAndHumans(const QImage &image) const override;
    std::optional<std::vector<FaceLandmarks>> detectLandmarks(const QImage &image) const override;
};

/** Packs floats as a feature print of 32-bit elements. */
FeaturePrint packFeaturePrint(const std::vector<float> &values);

} // namespace mendral
