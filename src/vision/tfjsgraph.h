#pragma once

// Internal to the vision module: TensorFlow.js graph models turned into graphs that OpenCV's
// TensorFlow importer accepts.

#include "vision/tfgraph.pb.h"
#include "vision/tfjsweights.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

namespace mendral::tfjs {

using tfgraph::GraphDef;
using tfgraph::NodeDef;

/**
 * Reads a graph model (`model.json` and the weight files next to it): the topology becomes a
 * GraphDef and every Const node gets its dequantised value. Nothing on unreadable or malformed
 * files.
 */
std::optional<GraphDef> loadGraphModel(const QString &modelJsonPath, QString *error = nullptr);

/** A Const node holding `w` (single values as scalar fields, which the importer needs). */
NodeDef makeConst(const std::string &name, const Weight &w);

/** Shape of a Const node's value; empty when the node is no Const. */
std::vector<int64_t> constShape(const NodeDef &node);
/** Values of a Const node as floats; nothing when the node is no numeric Const. */
std::optional<std::vector<float>> constValues(const NodeDef &node);

/**
 * Rewrites ops the importer lacks into plain ones: fused convolutions and matrix products
 * become the op, a BiasAdd and the activation (the last node keeps the fused node's name, so
 * outputs keep their names); Maximum(Minimum(x, 6), 0) becomes Relu6; Add(a, Mul(b, c)) with
 * a constant c becomes Sub(a, Mul(b, −c)); control inputs are dropped. False, with `error`, on a
 * fused activation it cannot express.
 */
bool rewriteForOpenCV(GraphDef &graph, QString *error = nullptr);

/** Keeps only the nodes the outputs depend on. False when an output or an input is missing. */
bool prune(GraphDef &graph, const std::vector<std::string> &outputs, QString *error = nullptr);

/** Appends a mean over height and width of `output` (NHWC); returns the new node's name. */
std::string appendGlobalAveragePool(GraphDef &graph, const std::string &output);

/**
 * Multiplies the constant output sizes of every ResizeBilinear / ResizeNearestNeighbor by
 * `factor` (rounded): such sizes were folded for one input size and must follow another.
 */
void scaleResizeSizes(GraphDef &graph, double factor);

/**
 * Declares every 4-D Placeholder as 1 × side × side × channels: OpenCV's importer works out
 * layer shapes from the declared input shape.
 */
void setInputSize(GraphDef &graph, int side);

/** The node an output really comes from: Identity nodes followed to their input (OpenCV drops them). */
std::string throughIdentities(const GraphDef &graph, const std::string &output);

/** Node names without an output index (":1") or control mark ("^"). */
std::string nodeName(const std::string &input);

} // namespace mendral::tfjs
