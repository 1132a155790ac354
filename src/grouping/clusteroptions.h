#pragma once

#include <vector>

namespace mendral {

/**
 * Settings of one grouping run. The store overrides timeGap, simFactor and maxGroupSize from
 * its settings; the rest are tuned constants. Aggregate initialisation takes the fields in
 * declaration order.
 */
struct ClusterOptions {
    double timeGap = 30.0;          // seconds: same-moment window (strict merges, small faces,
                                    // photos without prints, burst window when splitting)
    float simFactor = 1.0f;         // multiplier on the calibrated distance thresholds
    int maxGroupSize = 20;          // larger groups are split
    double visualWindow = 86400.0;  // seconds: pairs further apart are never compared
    bool autoCalibrate = true;      // derive the base threshold from the shoot
    float fallbackThreshold = 0.34f;
    float faceGate = 0.20f;         // face distance below which two faces are the same person
    float faceReject = 0.38f;       // face distance from which two casts are different people
    double castWindow = 300.0;      // seconds: multi-person merges with uncertain faces
    double singleWindow = 150.0;    // seconds: merges not confirmed by face prints
    float smallFaceEdge = 0.58f;    // print distance limit when only small faces are seen
    float faceSideReliable = 0.045f; // main-face side from which head counts are trusted
    float prominentSide = 0.09f;    // main-face side from which a face counts as prominent
    float dressReject = 0.45f;      // clothing colour distance meaning differently dressed
};

/** Outcome of a grouping run: groups of photo indices and the loose threshold used. */
struct ClusterResult {
    std::vector<std::vector<int>> groups; // each ascending; ordered by first index
    float threshold = 0.0f;               // 0 when fewer than two photos were given
};

} // namespace mendral
