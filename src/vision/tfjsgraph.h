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
 * outputs keep their names); Prelu with a constant slope a becomes (1 − a)·Relu(x) + a·x;
 * Maximum(Minimum(x, 6), 0) becomes Relu6; Add(a, Mul(b, c)) with
 * a constant c becomes Sub(a, Mul(b, −c)); control inputs are dropped. False, with `error`, on a
 * fused activation it cannot express.
 */
bool rewriteForOpenCV(GraphDef &graph, QString *error = nullptr);

/** Keeps only the nodes the outputs depend on. False when an output or an input is missing. */
bool prune(GraphDef &graph, const std::vector<std::string> &outputs, QString *error = nullptr);

/** Appends a mean over height and width of `output` (NHWC); returns the new node's name. */
std::string appendGlobalAveragePool(GraphDef &graph, const std::string &output);

/**
 * Makes every ResizeBilinear / ResizeNearestNeighbor with a constant output size scale its
 * input by `factor` each way instead (OpenCV's form of the node with two factor inputs), so
 * that the graph takes inputs of any size. Only for graphs whose resizes all scale by that
 * factor, as centernet's head doubles at each step; the sizes the converter folded for one
 * input size are dropped.
 */
void resizeByFactor(GraphDef &graph, float factor);

/**
 * Declares every 4-D Placeholder as 1 × height × width × channels: OpenCV's importer works
 * out layer shapes from the declared input shape.
 */
void setInputSize(GraphDef &graph, int height, int width);
inline void setInputSize(GraphDef &graph, int side) { setInputSize(graph, side, side); }

/** The node an output really comes from: Identity nodes followed to their input (OpenCV drops them). */
std::string throughIdentities(const GraphDef &graph, const std::string &output);

/** Node names without an output index (":1") or control mark ("^"). */
std::string nodeName(const std::string &input);

} // namespace mendral::tfjs
