#pragma once

// Internal to the vision module: rewrites that make a graph run faster in OpenCV's dnn while
// computing the same values (to float rounding).

#include "vision/tfjsgraph.h"

#include <QString>

#include <string>

namespace mendral::tfjs {

/**
 * Replaces each hard swish written out as Mul(1/6, x) · Relu6(x + 3) by one HardSwish node
 * (the last Mul's name is kept), which OpenCV runs as an activation fused into the convolution
 * before it instead of four passes over the tensor.
 */
void fuseHardSwish(GraphDef &graph);

/**
 * Replaces each Mul of a tensor by per-channel factors (a squeeze-and-excite gate: a value
 * computed from a mean over height and width) by a channel-scale node, which multiplies each
 * plane by its factor. OpenCV's importer makes such a Mul a broadcasting element-wise product,
 * several times slower. Needs `registerFusedLayers()` before the graph is imported.
 */
void fuseChannelScales(GraphDef &graph);

/**
 * Replaces each depthwise convolution with a square kernel wider than 3 × 3 (SAME padding,
 * stride 1 or 2) and the BiasAdd after it by one node that runs such kernels three times as
 * fast; its sums are taken in another order, so values differ in the last bits.
 */
void fuseWideDepthwise(GraphDef &graph);

/**
 * Keeps only the first `count` output channels of the convolution that `output` comes from
 * (through its BiasAdd and an activation), for a network of which only those are read. False,
 * with `error`, when `output` does not end in such a convolution or it has fewer channels.
 */
bool keepFirstChannels(GraphDef &graph, const std::string &output, int count, QString *error = nullptr);

/** Makes the layers the rewrites above use known to OpenCV, once. */
void registerFusedLayers();

} // namespace mendral::tfjs
