// Graph models: reading model.json, the rewrites OpenCV's importer needs, pruning, and a small
// model run end to end through OpenCV.

#include "vision/neural.h"
#include "vision/tfjsfuse.h"
#include "vision/tfjsgraph.h"
#include "vision/tfjsmodels.h"
#include "vision/tfjsnet.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <latch>
#include <thread>

using namespace mendral;
using namespace mendral::tfjs;

namespace {

// A 1 × 1 convolution from 3 to 2 channels with bias and ReLU (fused), clipped at 6 by
// Minimum/Maximum, read through an Identity: the shapes TensorFlow.js converters write.
const char *smallModel = R"({
 "format": "graph-model",
 "modelTopology": {"node": [
  {"name": "x", "op": "Placeholder", "attr": {"dtype": {"type": "DT_FLOAT"},
    "shape": {"shape": {"dim": [{"size": "1"}, {"size": "4"}, {"size": "4"}, {"size": "3"}]}}}},
  {"name": "w", "op": "Const", "attr": {"dtype": {"type": "DT_FLOAT"}, "value": {"tensor": {"dtype": "DT_FLOAT",
    "tensorShape": {"dim": [{"size": "1"}, {"size": "1"}, {"size": "3"}, {"size": "2"}]}}}}},
  {"name": "b", "op": "Const", "attr": {"dtype": {"type": "DT_FLOAT"}, "value": {"tensor": {"dtype": "DT_FLOAT",
    "tensorShape": {"dim": [{"size": "2"}]}}}}},
  {"name": "six", "op": "Const", "attr": {"dtype": {"type": "DT_FLOAT"}, "value": {"tensor": {"dtype": "DT_FLOAT",
    "tensorShape": {}}}}},
  {"name": "zero", "op": "Const", "attr": {"dtype": {"type": "DT_FLOAT"}, "value": {"tensor": {"dtype": "DT_FLOAT",
    "tensorShape": {}}}}},
  {"name": "conv", "op": "_FusedConv2D", "input": ["x", "w", "b"], "attr": {"T": {"type": "DT_FLOAT"},
    "strides": {"list": {"i": ["1", "1", "1", "1"]}}, "padding": {"s": "VkFMSUQ="},
    "data_format": {"s": "TkhXQw=="}, "num_args": {"i": "1"}, "epsilon": {"f": 0},
    "fused_ops": {"list": {"s": ["Qmlhc0FkZA==", "UmVsdQ=="]}}}},
  {"name": "min", "op": "Minimum", "input": ["conv", "six"], "attr": {"T": {"type": "DT_FLOAT"}}},
  {"name": "clip", "op": "Maximum", "input": ["min", "zero", "^x"], "attr": {"T": {"type": "DT_FLOAT"}}},
  {"name": "out", "op": "Identity", "input": ["clip"], "attr": {"T": {"type": "DT_FLOAT"}}},
  {"name": "unused", "op": "Sigmoid", "input": ["x"], "attr": {"T": {"type": "DT_FLOAT"}}}
 ]},
 "weightsManifest": [{"paths": ["small.bin"], "weights": [
  {"name": "w", "shape": [1, 1, 3, 2], "dtype": "float32"},
  {"name": "b", "shape": [2], "dtype": "float32", "quantization": {"dtype": "float16", "original_dtype": "float32"}},
  {"name": "six", "shape": [], "dtype": "float32"},
  {"name": "zero", "shape": [], "dtype": "float32"}]}]
})";

// HWIO weights: output channel 0 = r + g − b, channel 1 = 2r − g.
const float weights[6] = {1, 2, 1, -1, -1, 0};
const float bias[2] = {0.5f, -1.0f};

QString writeSmallModel(const QTemporaryDir &dir, const char *json = smallModel)
{
    QFile model(dir.filePath("model.json"));
    EXPECT_TRUE(model.open(QIODevice::WriteOnly));
    model.write(json);
    QFile bin(dir.filePath("small.bin"));
    EXPECT_TRUE(bin.open(QIODevice::WriteOnly));
    bin.write(reinterpret_cast<const char *>(weights), sizeof weights);
    const uint16_t halfBias[2] = {0x3800, 0xBC00}; // 0.5, −1
    bin.write(reinterpret_cast<const char *>(halfBias), sizeof halfBias);
    const float bounds[2] = {6, 0};
    bin.write(reinterpret_cast<const char *>(bounds), sizeof bounds);
    return model.fileName();
}

const NodeDef *find(const GraphDef &g, const std::string &name)
{
    for (const NodeDef &n : g.node())
        if (n.name() == name)
            return &n;
    return nullptr;
}

NodeDef node(const std::string &name, const std::string &op, std::vector<std::string> inputs)
{
    NodeDef n;
    n.set_name(name);
    n.set_op(op);
    for (const auto &i : inputs)
        n.add_input(i);
    return n;
}

Weight floats(std::vector<float> v, std::vector<int64_t> shape = {})
{
    Weight w;
    w.floats = std::move(v);
    w.shape = std::move(shape);
    return w;
}

} // namespace

TEST(GraphModel, ConstsGetTheirValuesAndScalarsUseTypedFields)
{
    QTemporaryDir dir;
    const auto graph = loadGraphModel(writeSmallModel(dir));
    ASSERT_TRUE(graph);
    EXPECT_EQ(*constValues(*find(*graph, "w")), std::vector<float>(weights, weights + 6));
    EXPECT_EQ(*constValues(*find(*graph, "b")), std::vector<float>(bias, bias + 2));
    const auto &six = find(*graph, "six")->attr().at("value").tensor();
    EXPECT_TRUE(six.tensor_content().empty()); // a scalar in tensor_content crashes the importer
    ASSERT_EQ(six.float_val_size(), 1);
    EXPECT_EQ(six.float_val(0), 6.0f);
}

TEST(GraphModel, MissingWeightsOrBrokenJsonGiveNothing)
{
    QTemporaryDir dir;
    const QString path = writeSmallModel(dir);
    QFile::remove(dir.filePath("small.bin"));
    QString error;
    EXPECT_FALSE(loadGraphModel(path, &error));
    EXPECT_FALSE(error.isEmpty());

    QTemporaryDir other;
    std::string truncated(smallModel);
    truncated.resize(truncated.size() / 2);
    EXPECT_FALSE(loadGraphModel(writeSmallModel(other, truncated.c_str())));
    EXPECT_FALSE(loadGraphModel(dir.filePath("nothing.json")));
}

TEST(GraphRewrite, FusedConvolutionSplitsAndTheLastNodeKeepsTheName)
{
    QTemporaryDir dir;
    auto graph = loadGraphModel(writeSmallModel(dir));
    ASSERT_TRUE(graph);
    ASSERT_TRUE(rewriteForOpenCV(*graph));
    const NodeDef *relu = find(*graph, "conv");
    ASSERT_TRUE(relu);
    EXPECT_EQ(relu->op(), "Relu");
    const NodeDef *bias = find(*graph, nodeName(relu->input(0)));
    ASSERT_TRUE(bias);
    EXPECT_EQ(bias->op(), "BiasAdd");
    EXPECT_EQ(bias->input(1), "b");
    const NodeDef *conv = find(*graph, bias->input(0));
    ASSERT_TRUE(conv);
    EXPECT_EQ(conv->op(), "Conv2D");
    EXPECT_EQ(conv->attr().at("padding").s(), "VALID");
    EXPECT_FALSE(conv->attr().count("fused_ops"));
    // The clip became Relu6 of the convolution; the control input is gone.
    const NodeDef *clip = find(*graph, "clip");
    EXPECT_EQ(clip->op(), "Relu6");
    ASSERT_EQ(clip->input_size(), 1);
    EXPECT_EQ(clip->input(0), "conv");
}

TEST(GraphRewrite, UnsupportedFusedActivationIsRefused)
{
    GraphDef g;
    NodeDef fused = node("c", "_FusedConv2D", {"x", "w", "b", "alpha"});
    auto *ops = (*fused.mutable_attr())["fused_ops"].mutable_list();
    ops->add_s("BiasAdd");
    ops->add_s("Prelu");
    *g.add_node() = fused;
    QString error;
    EXPECT_FALSE(rewriteForOpenCV(g, &error));
    EXPECT_TRUE(error.contains("Prelu"));
}

TEST(GraphRewrite, OnlyAClipToZeroAndSixBecomesRelu6)
{
    GraphDef g;
    *g.add_node() = node("x", "Placeholder", {});
    *g.add_node() = makeConst("five", floats({5}));
    *g.add_node() = makeConst("zero", floats({0}));
    *g.add_node() = node("min", "Minimum", {"x", "five"});
    *g.add_node() = node("max", "Maximum", {"min", "zero"});
    ASSERT_TRUE(rewriteForOpenCV(g));
    EXPECT_EQ(find(g, "max")->op(), "Maximum");
    EXPECT_EQ(find(g, "min")->op(), "Minimum");
}

TEST(GraphRewrite, AddOfScaledTensorBecomesSubOfNegatedScale)
{
    GraphDef g;
    *g.add_node() = node("a", "Placeholder", {});
    *g.add_node() = node("b", "Relu", {"a"});
    *g.add_node() = makeConst("c", floats({2, -3}, {2}));
    *g.add_node() = node("mul", "Mul", {"b", "c"});
    *g.add_node() = node("sum", "AddV2", {"a", "mul"});
    *g.add_node() = node("other", "Relu", {"mul"}); // the Mul has another consumer
    ASSERT_TRUE(rewriteForOpenCV(g));
    const NodeDef *sum = find(g, "sum");
    EXPECT_EQ(sum->op(), "Sub");
    EXPECT_EQ(sum->input(0), "a");
    const NodeDef *negMul = find(g, sum->input(1));
    ASSERT_TRUE(negMul);
    EXPECT_EQ(negMul->input(0), "b");
    EXPECT_EQ(*constValues(*find(g, negMul->input(1))), (std::vector<float>{-2, 3}));
    // The shared Mul and its constant are untouched.
    EXPECT_EQ(*constValues(*find(g, "c")), (std::vector<float>{2, -3}));
    EXPECT_EQ(find(g, "other")->input(0), "mul");
}

TEST(GraphRewrite, AddWithConstantShiftStaysAnAdd)
{
    // Batch-norm's shift: Add(Mul(x, scale), shift) with a constant shift is left alone.
    GraphDef g;
    *g.add_node() = node("x", "Placeholder", {});
    *g.add_node() = makeConst("scale", floats({2}, {1}));
    *g.add_node() = makeConst("shift", floats({1}, {1}));
    *g.add_node() = node("mul", "Mul", {"x", "scale"});
    *g.add_node() = node("add", "Add", {"shift", "mul"});
    ASSERT_TRUE(rewriteForOpenCV(g));
    EXPECT_EQ(find(g, "add")->op(), "Add");
}

TEST(GraphPrune, KeepsWhatOutputsNeedInOrder)
{
    QTemporaryDir dir;
    auto graph = loadGraphModel(writeSmallModel(dir));
    ASSERT_TRUE(graph);
    ASSERT_TRUE(prune(*graph, {"out:0"}));
    EXPECT_FALSE(find(*graph, "unused"));
    std::vector<std::string> names;
    for (const NodeDef &n : graph->node())
        names.push_back(n.name());
    EXPECT_EQ(names.front(), "x");
    EXPECT_EQ(names.back(), "out");
    EXPECT_EQ(names.size(), 9u);
    EXPECT_FALSE(prune(*graph, {"nowhere"}));
}

TEST(GraphShapes, ResizesScaleByAFactorAndIdentitiesAreSkipped)
{
    GraphDef g;
    *g.add_node() = node("x", "Placeholder", {});
    Weight size;
    size.isInt = true;
    size.shape = {2};
    size.ints = {32, 24};
    *g.add_node() = makeConst("size", size);
    *g.add_node() = node("up1", "ResizeBilinear", {"x", "size"});
    *g.add_node() = node("up2", "ResizeNearestNeighbor", {"x", "size"}); // shares the size
    *g.add_node() = node("id", "Identity", {"up1"});
    *g.add_node() = node("id2", "Identity", {"id:0"});
    resizeByFactor(g, 2.0f);
    for (const char *name : {"up1", "up2"}) {
        const NodeDef &up = *find(g, name);
        ASSERT_EQ(up.input_size(), 3);
        EXPECT_EQ(up.input(0), "x");
        EXPECT_EQ(*constValues(*find(g, up.input(1))), std::vector<float>{2.0f});
        EXPECT_EQ(*constValues(*find(g, up.input(2))), std::vector<float>{2.0f});
    }
    EXPECT_EQ(throughIdentities(g, "id2"), "up1");
    EXPECT_EQ(throughIdentities(g, "up2"), "up2");
    ASSERT_TRUE(prune(g, {"up1", "up2"}));
    EXPECT_EQ(find(g, "size"), nullptr); // the folded size is no longer used
}

TEST(GraphRun, SmallModelThroughOpenCVMatchesHandComputation)
{
    QTemporaryDir dir;
    auto graph = loadGraphModel(writeSmallModel(dir));
    ASSERT_TRUE(graph);
    ASSERT_TRUE(rewriteForOpenCV(*graph));
    const std::string output = throughIdentities(*graph, "out");
    ASSERT_TRUE(prune(*graph, {output}));
    QString error;
    auto net = NetPool::create(*graph, {output}, &error);
    ASSERT_TRUE(net) << qPrintable(error);

    std::vector<float> rgb(4 * 4 * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = float(int(i * 7 % 11)) - 3; // −3…7: both clips are reached
    const auto out = net->run(blobFromRgb(rgb, 4));
    ASSERT_TRUE(out);
    const cv::Mat &m = out->front();
    ASSERT_EQ(m.dims, 4);
    ASSERT_EQ(m.size[1], 2);
    int clippedHigh = 0, clippedLow = 0;
    for (int p = 0; p < 16; ++p)
        for (int c = 0; c < 2; ++c) {
            float v = bias[c];
            for (int k = 0; k < 3; ++k)
                v += rgb[size_t(p * 3 + k)] * weights[k * 2 + c];
            const float expected = std::clamp(v, 0.0f, 6.0f);
            clippedHigh += v > 6;
            clippedLow += v < 0;
            EXPECT_NEAR(m.ptr<float>()[c * 16 + p], expected, 1e-5) << p << "," << c;
        }
    EXPECT_GT(clippedHigh, 0);
    EXPECT_GT(clippedLow, 0);
}

// x → hard swish (as converters write it, with 1/6 in half precision) → a squeeze-and-excite
// gate → a 1 × 1 convolution to three channels with bias and sigmoid.
GraphDef gatedModel()
{
    GraphDef g;
    NodeDef x = node("x", "Placeholder", {});
    (*x.mutable_attr())["dtype"].set_type(tfgraph::DT_FLOAT);
    auto *shape = (*x.mutable_attr())["shape"].mutable_shape();
    for (int d : {1, 4, 4, 3})
        shape->add_dim()->set_size(d);
    *g.add_node() = x;
    *g.add_node() = makeConst("sixth", floats({0.166626f}));
    *g.add_node() = makeConst("three", floats({3}));
    *g.add_node() = node("hs/scaled", "Mul", {"sixth", "x"});
    *g.add_node() = node("hs/shifted", "Add", {"x", "three"});
    *g.add_node() = node("hs/clipped", "Relu6", {"hs/shifted"});
    *g.add_node() = node("hs", "Mul", {"hs/scaled", "hs/clipped"});
    Weight axes;
    axes.isInt = true, axes.shape = {2}, axes.ints = {1, 2};
    *g.add_node() = makeConst("axes", axes);
    NodeDef mean = node("se/mean", "Mean", {"hs", "axes"});
    (*mean.mutable_attr())["keep_dims"].set_b(true);
    *g.add_node() = mean;
    *g.add_node() = node("se/gate", "Sigmoid", {"se/mean"});
    *g.add_node() = node("se", "Mul", {"se/gate", "hs"});
    *g.add_node() = makeConst("w", floats({1, -2, 0.5f, 0.25f, 1, -1, -0.5f, 0.75f, 2}, {1, 1, 3, 3}));
    *g.add_node() = makeConst("b", floats({0.1f, -0.2f, 0.3f}, {3}));
    NodeDef conv = node("conv", "Conv2D", {"se", "w"});
    auto *strides = (*conv.mutable_attr())["strides"].mutable_list();
    for (int s : {1, 1, 1, 1})
        strides->add_i(s);
    (*conv.mutable_attr())["padding"].set_s("VALID");
    *g.add_node() = conv;
    *g.add_node() = node("bias", "BiasAdd", {"conv", "b"});
    *g.add_node() = node("out", "Sigmoid", {"bias"});
    return g;
}

TEST(GraphFuse, FusedNodesGiveTheSameValuesToTheBitAndOnlyTheKeptChannels)
{
    std::vector<float> rgb(4 * 4 * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = float(int(i * 5 % 13)) - 5.5f; // −5.5…6.5: both ends of the clip are reached
    auto run = [&](const GraphDef &g) {
        QString error;
        auto net = NetPool::create(g, {"out"}, &error);
        EXPECT_TRUE(net) << qPrintable(error);
        const auto out = net ? net->run(blobFromRgb(rgb, 4)) : std::nullopt;
        return out ? out->front() : cv::Mat();
    };
    const GraphDef plain = gatedModel();
    GraphDef fused = plain;
    fuseHardSwish(fused);
    fuseChannelScales(fused);
    ASSERT_TRUE(prune(fused, {"out"}));
    EXPECT_EQ(find(fused, "hs")->op(), "MendralHardSwish");
    EXPECT_EQ(find(fused, "se")->op(), "MendralChannelScale");
    EXPECT_EQ(find(fused, "hs/clipped"), nullptr);
    GraphDef first = fused;
    ASSERT_TRUE(keepFirstChannels(first, "out", 1));

    const cv::Mat a = run(plain), b = run(fused), c = run(first);
    ASSERT_EQ(a.total(), 48u);
    ASSERT_EQ(b.total(), 48u);
    ASSERT_EQ(c.total(), 16u);
    EXPECT_EQ(std::memcmp(a.ptr<float>(), b.ptr<float>(), 48 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(a.ptr<float>(), c.ptr<float>(), 16 * sizeof(float)), 0); // channel 0 comes first

    // A Mul of two full tensors stays; an output with no convolution, or too few channels, is refused.
    GraphDef squared = plain;
    *squared.add_node() = node("sq", "Mul", {"hs", "hs"});
    fuseChannelScales(squared);
    EXPECT_EQ(find(squared, "sq")->op(), "Mul");
    EXPECT_FALSE(keepFirstChannels(squared, "hs", 1));
    EXPECT_FALSE(keepFirstChannels(first, "out", 2));
}

TEST(GraphFuse, WideDepthwiseConvolutionsMatchOpenCVsAtBothStrides)
{
    // An 8 × 37 image of 3 channels: 5 × 5 depthwise with its bias at stride 1, and without one
    // at stride 2 (where SAME padding adds one row above and two below). Rows of 37 and 19
    // outputs take every path of the layer: several vectors at once, one vector, single floats.
    constexpr int W = 37;
    GraphDef g;
    NodeDef x = node("x", "Placeholder", {});
    (*x.mutable_attr())["dtype"].set_type(tfgraph::DT_FLOAT);
    for (int d : {1, 8, W, 3})
        (*x.mutable_attr())["shape"].mutable_shape()->add_dim()->set_size(d);
    *g.add_node() = x;
    std::vector<float> kernel(5 * 5 * 3);
    for (size_t i = 0; i < kernel.size(); ++i)
        kernel[i] = float(int(i * 7 % 19)) / 9.0f - 1.0f;
    *g.add_node() = makeConst("k", floats(kernel, {5, 5, 3, 1}));
    *g.add_node() = makeConst("b", floats({0.5f, -0.25f, 1.0f}, {3}));
    for (const auto &[name, stride] : {std::pair<std::string, int>{"one", 1}, {"two", 2}}) {
        NodeDef dw = node(name, "DepthwiseConv2dNative", {"x", "k"});
        for (int s : {1, stride, stride, 1})
            (*dw.mutable_attr())["strides"].mutable_list()->add_i(s);
        (*dw.mutable_attr())["padding"].set_s("SAME");
        *g.add_node() = dw;
    }
    *g.add_node() = node("one/bias", "BiasAdd", {"one", "b"});
    // Read through a sigmoid each: OpenCV names a convolution with its bias by the convolution.
    *g.add_node() = node("out1", "Sigmoid", {"one/bias"});
    *g.add_node() = node("out2", "Sigmoid", {"two"});

    std::vector<float> image(8 * W * 3);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = float(int(i * 11 % 23)) / 4.0f - 2.0f;
    const int dims[] = {1, 3, 8, W};
    cv::Mat blob(4, dims, CV_32F);
    for (int c = 0; c < 3; ++c)
        for (int p = 0; p < 8 * W; ++p)
            blob.ptr<float>()[c * 8 * W + p] = image[size_t(p * 3 + c)];
    auto run = [&](const GraphDef &graph) {
        QString error;
        auto net = NetPool::create(graph, {"out1", "out2"}, &error);
        EXPECT_TRUE(net) << qPrintable(error);
        const auto out = net ? net->run(blob, &error) : std::nullopt;
        EXPECT_TRUE(out) << qPrintable(error);
        return out ? *out : std::vector<cv::Mat>{};
    };
    GraphDef fused = g;
    fuseWideDepthwise(fused);
    ASSERT_TRUE(prune(fused, {"out1", "out2"}));
    EXPECT_EQ(find(fused, "one/bias")->op(), "MendralDepthwise");
    EXPECT_EQ(find(fused, "one"), nullptr); // its bias went with it
    EXPECT_EQ(find(fused, "two")->op(), "MendralDepthwise");

    const auto plain = run(g), fast = run(fused);
    ASSERT_EQ(plain.size(), 2u);
    ASSERT_EQ(fast.size(), 2u);
    for (size_t o = 0; o < 2; ++o) {
        ASSERT_EQ(fast[o].dims, 4);
        EXPECT_EQ(fast[o].size[2], o == 0 ? 8 : 4);
        EXPECT_EQ(fast[o].size[3], o == 0 ? W : (W + 1) / 2);
        ASSERT_EQ(plain[o].total(), fast[o].total());
        for (size_t i = 0; i < plain[o].total(); ++i)
            EXPECT_NEAR(fast[o].ptr<float>()[i], plain[o].ptr<float>()[i], 1e-6) << o << ":" << i;
    }
}

TEST(GraphRun, PoolWhoseModelVanishesKeepsServingEveryCallWithTheNetworkItHas)
{
    QTemporaryDir dir;
    const QString json = writeSmallModel(dir);
    std::atomic<int> made{0};
    std::string output;
    auto source = [&](QString *error) -> std::optional<GraphDef> {
        ++made;
        auto graph = loadGraphModel(json, error); // null once the files are gone
        if (!graph || !rewriteForOpenCV(*graph, error))
            return std::nullopt;
        output = throughIdentities(*graph, "out");
        return prune(*graph, {output}, error) ? graph : std::nullopt;
    };
    QString error;
    ASSERT_TRUE(source(&error)) << qPrintable(error);
    auto pool = NetPool::create(source, {output}, &error);
    ASSERT_TRUE(pool) << qPrintable(error);
    ASSERT_TRUE(dir.remove());

    // Four threads at once on one network: the others try to make theirs, fail, and wait.
    std::vector<float> rgb(4 * 4 * 3, 1.0f);
    std::atomic<int> served{0};
    std::latch start(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            for (int i = 0; i < 100; ++i)
                served += bool(pool->run(blobFromRgb(rgb, 4)));
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(served, 400) << made << " graphs made";
}

TEST(NeuralHelpers, ScaledPrintsStayUnitAndScaleDistancesByK)
{
    const auto a = neural::normalised({3, 4, 0});
    const auto b = neural::normalised({0, 1, 1});
    ASSERT_TRUE(a && b);
    auto dist = [](const std::vector<float> &x, const std::vector<float> &y) {
        double dot = 0;
        for (size_t i = 0; i < x.size(); ++i)
            dot += double(x[i]) * y[i];
        return std::sqrt(std::max(0.0, 2 - 2 * dot));
    };
    const auto sa = neural::scaleDistances(*a, 0.6f), sb = neural::scaleDistances(*b, 0.6f);
    ASSERT_EQ(sa.size(), 4u);
    EXPECT_NEAR(dist(sa, sa), 0, 1e-6);
    EXPECT_NEAR(dist(sa, sb), 0.6 * dist(*a, *b), 1e-5);
    double norm = 0;
    for (float v : sa)
        norm += v * v;
    EXPECT_NEAR(norm, 1.0, 1e-6);
}

TEST(NeuralHelpers, ZeroOrNonFiniteVectorsHaveNoDirection)
{
    EXPECT_FALSE(neural::normalised({0, 0, 0}));
    EXPECT_FALSE(neural::normalised({}));
    EXPECT_FALSE(neural::normalised({1, NAN}));
    EXPECT_FALSE(neural::normalised({INFINITY, 1}));
    EXPECT_NEAR((*neural::normalised({0, -2}))[1], -1.0f, 1e-7);
}

TEST(NeuralHelpers, LetterboxCentresTheImageOnBlack)
{
    QImage wide(40, 10, QImage::Format_RGB888);
    wide.fill(Qt::white);
    const QImage square = letterboxed(wide);
    ASSERT_EQ(square.size(), QSize(40, 40));
    EXPECT_EQ(square.pixelColor(20, 5), QColor(Qt::black));
    EXPECT_EQ(square.pixelColor(20, 20), QColor(Qt::white));
    EXPECT_EQ(square.pixelColor(0, 15), QColor(Qt::white));
    EXPECT_EQ(square.pixelColor(20, 34), QColor(Qt::black));
}

TEST(NeuralHelpers, ModelFolderFollowsTheEnvironment)
{
    const QByteArray saved = qgetenv("MENDRAL_MODELS");
    qputenv("MENDRAL_MODELS", "/somewhere/models");
    EXPECT_EQ(neural::modelDirectory(), "/somewhere/models");
    qunsetenv("MENDRAL_MODELS");
    const QByteArray savedData = qgetenv("XDG_DATA_HOME"), savedDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", "/data/home");
    qputenv("XDG_DATA_DIRS", "/nonexistent/share"); // an installed copy must not answer
    EXPECT_EQ(neural::modelDirectory(), "/data/home/Mendral/models"); // no models beside the test
    if (savedDirs.isEmpty())
        qunsetenv("XDG_DATA_DIRS");
    else
        qputenv("XDG_DATA_DIRS", savedDirs);
    if (savedData.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", savedData);
    if (!saved.isEmpty())
        qputenv("MENDRAL_MODELS", saved);
}
