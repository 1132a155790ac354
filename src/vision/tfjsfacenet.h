#pragma once

// Internal to the vision module: face-api's face recognition network as a graph.

#include "vision/tfjsgraph.h"

namespace mendral::tfjs {

/** Side of the square face chip the recognition network takes. */
constexpr int faceNetInputSize = 150;
/** Mean RGB the network's input is centred on (then divided by 255). */
constexpr double faceNetMean[3] = {122.782, 117.001, 104.298};
/** Name of the network's 128-value output node. */
inline const std::string faceNetOutput = "descriptor";

/**
 * The recognition network (a ResNet of 29 convolutions, 150 × 150 × 3 input, 128 outputs)
 * built from its weight map. Its JavaScript form scales every convolution's output per channel
 * after the bias; that scale and shift are folded into the convolution here. Nothing when a
 * weight is missing or misshapen.
 */
std::optional<GraphDef> buildFaceRecognitionGraph(const WeightMap &weights,
                                                  QString *error = nullptr);

} // namespace mendral::tfjs
