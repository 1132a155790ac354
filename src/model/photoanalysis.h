#pragma once

#include <optional>
#include <vector>

namespace mendral {

/** The values computed by analysing one photo; copied into a Photo as a whole. */
struct PhotoAnalysis {
    float sharpness = 0.0f;
    float exposure = 1.0f;
    // What the exposure score is made of, for comparing a frame with its siblings:
    // mean grey level 0…1 (-1: not measured) and the shares of blown and crushed pixels.
    float brightness = -1.0f;
    float highlights = 0.0f;
    float shadows = 0.0f;
    int faceCount = 0;
    float faceQuality = 0.0f;
    float eyeOpen = -1.0f;  // -1: eyes not measured
    std::optional<std::vector<float>> featurePrint;
    std::vector<std::vector<float>> facePrints;
    float mainFaceSide = 0.0f;
    int humanCount = 0;
    std::optional<std::vector<float>> hairPrint;
    std::optional<std::vector<float>> torsoPrint;

    bool operator==(const PhotoAnalysis &) const = default;
};

} // namespace mendral
