#include "vision/tfjsfacenet.h"

namespace mendral::tfjs {

namespace {

class Builder {
public:
    Builder(const WeightMap &weights, GraphDef &graph) : m_weights(weights), m_graph(graph) {}

    bool ok = true;
    QString error;

    const Weight *weight(const std::string &name, size_t rank)
    {
        auto it = m_weights.find(name);
        if (it == m_weights.end() || it->second.isInt || it->second.shape.size() != rank) {
            ok = false;
            error = "missing or misshapen weight " + QString::fromStdString(name);
            return nullptr;
        }
        return &it->second;
    }

    NodeDef &node(const std::string &name, const std::string &op,
                  std::initializer_list<std::string> inputs)
    {
        NodeDef *n = m_graph.add_node();
        n->set_name(name);
        n->set_op(op);
        for (const std::string &i : inputs)
            n->add_input(i);
        (*n->mutable_attr())["T"].set_type(tfgraph::DT_FLOAT);
        return *n;
    }

    static void setList(NodeDef &n, const char *key, std::initializer_list<int64_t> values)
    {
        auto *list = (*n.mutable_attr())[key].mutable_list();
        for (int64_t v : values)
            list->add_i(v);
    }

    std::string pad(const std::string &x, int64_t bottom, int64_t right, int64_t channels)
    {
        Weight p;
        p.isInt = true;
        p.shape = {4, 2};
        p.ints = {0, 0, 0, int32_t(bottom), 0, int32_t(right), 0, int32_t(channels)};
        const std::string name = x + "/pad";
        *m_graph.add_node() = makeConst(name + "/paddings", p);
        NodeDef &n = node(name, "Pad", {x, name + "/paddings"});
        (*n.mutable_attr())["Tpaddings"].set_type(tfgraph::DT_INT32);
        return name;
    }

    // Convolution, bias and per-channel scale-and-shift (folded), optionally ReLU.
    std::string conv(const std::string &x, const std::string &prefix, int stride, bool relu,
                     bool valid, int &size)
    {
        const Weight *filters = weight(prefix + "/conv/filters", 4);
        const Weight *bias = weight(prefix + "/conv/bias", 1);
        const Weight *scale = weight(prefix + "/scale/weights", 1);
        const Weight *shift = weight(prefix + "/scale/biases", 1);
        if (!ok)
            return {};
        const int64_t k = filters->shape[0], out = filters->shape[3];
        if (bias->count() != size_t(out) || scale->count() != size_t(out)
            || shift->count() != size_t(out)) {
            ok = false;
            error = "inconsistent channels in " + QString::fromStdString(prefix);
            return {};
        }
        Weight w = *filters;
        for (size_t i = 0; i < w.floats.size(); ++i)
            w.floats[i] *= scale->floats[i % size_t(out)]; // HWIO: output channel is fastest
        Weight b = *bias;
        for (size_t c = 0; c < b.floats.size(); ++c)
            b.floats[c] = b.floats[c] * scale->floats[c] + shift->floats[c];
        *m_graph.add_node() = makeConst(prefix + "/folded_filters", w);
        *m_graph.add_node() = makeConst(prefix + "/folded_bias", b);
        NodeDef &c = node(prefix + "/conv2d", "Conv2D", {x, prefix + "/folded_filters"});
        setList(c, "strides", {1, stride, stride, 1});
        (*c.mutable_attr())["padding"].set_s(valid ? "VALID" : "SAME");
        (*c.mutable_attr())["data_format"].set_s("NHWC");
        node(prefix + "/bias", "BiasAdd", {prefix + "/conv2d", prefix + "/folded_bias"});
        size = valid ? int((size - k) / stride + 1) : (size + stride - 1) / stride;
        m_channels = int(out);
        if (!relu)
            return prefix + "/bias";
        node(prefix + "/relu", "Relu", {prefix + "/bias"});
        return prefix + "/relu";
    }

    std::string residual(const std::string &x, const std::string &prefix, int &size)
    {
        std::string a = conv(x, prefix + "/conv1", 1, true, false, size);
        std::string b = conv(a, prefix + "/conv2", 1, false, false, size);
        if (!ok)
            return {};
        node(prefix + "/add", "Add", {b, x});
        node(prefix + "/relu", "Relu", {prefix + "/add"});
        return prefix + "/relu";
    }

    // Halves the size; the shortcut is a 2 × 2 average padded with zero channels, and the
    // convolution path is padded by a zero row and column when it comes out one smaller.
    std::string residualDown(const std::string &x, const std::string &prefix, int &size)
    {
        const int inSize = size, inChannels = m_channels;
        std::string a = conv(x, prefix + "/conv1", 2, true, true, size);
        std::string b = conv(a, prefix + "/conv2", 1, false, false, size);
        if (!ok)
            return {};
        NodeDef &pool = node(prefix + "/shortcut", "AvgPool", {x});
        setList(pool, "ksize", {1, 2, 2, 1});
        setList(pool, "strides", {1, 2, 2, 1});
        (*pool.mutable_attr())["padding"].set_s("VALID");
        (*pool.mutable_attr())["data_format"].set_s("NHWC");
        std::string shortcut = prefix + "/shortcut";
        const int pooledSize = (inSize - 2) / 2 + 1;
        if (m_channels != inChannels)
            shortcut = pad(shortcut, 0, 0, m_channels - inChannels);
        if (pooledSize != size) {
            if (pooledSize != size + 1) {
                ok = false;
                error = "unexpected sizes in " + QString::fromStdString(prefix);
                return {};
            }
            b = pad(b, 1, 1, 0);
            size = pooledSize;
        }
        node(prefix + "/add", "Add", {shortcut, b});
        node(prefix + "/relu", "Relu", {prefix + "/add"});
        return prefix + "/relu";
    }

private:
    const WeightMap &m_weights;
    GraphDef &m_graph;
    int m_channels = 3;
};

} // namespace

std::optional<GraphDef> buildFaceRecognitionGraph(const WeightMap &weights, QString *error)
{
    GraphDef graph;
    Builder b(weights, graph);
    NodeDef &input = b.node("input", "Placeholder", {});
    input.mutable_attr()->erase("T");
    (*input.mutable_attr())["dtype"].set_type(tfgraph::DT_FLOAT);
    auto *shape = (*input.mutable_attr())["shape"].mutable_shape();
    for (int d : {1, faceNetInputSize, faceNetInputSize, 3})
        shape->add_dim()->set_size(d);

    int size = faceNetInputSize;
    std::string x = b.conv("input", "conv32_down", 2, true, true, size);
    NodeDef &pool = b.node("conv32_down/max_pool", "MaxPool", {x});
    Builder::setList(pool, "ksize", {1, 3, 3, 1});
    Builder::setList(pool, "strides", {1, 2, 2, 1});
    (*pool.mutable_attr())["padding"].set_s("VALID");
    (*pool.mutable_attr())["data_format"].set_s("NHWC");
    x = "conv32_down/max_pool";
    size = (size - 3) / 2 + 1;
    for (const char *layer : {"conv32_1", "conv32_2", "conv32_3"})
        x = b.residual(x, layer, size);
    x = b.residualDown(x, "conv64_down", size);
    for (const char *layer : {"conv64_1", "conv64_2", "conv64_3"})
        x = b.residual(x, layer, size);
    x = b.residualDown(x, "conv128_down", size);
    for (const char *layer : {"conv128_1", "conv128_2"})
        x = b.residual(x, layer, size);
    x = b.residualDown(x, "conv256_down", size);
    for (const char *layer : {"conv256_1", "conv256_2"})
        x = b.residual(x, layer, size);
    x = b.residualDown(x, "conv256_down_out", size);
    const Weight *fc = b.weight("fc", 2);
    if (!b.ok) {
        if (error)
            *error = b.error;
        return std::nullopt;
    }
    const std::string pooled = appendGlobalAveragePool(graph, x);
    *graph.add_node() = makeConst("fc", *fc);
    Weight flatShape;
    flatShape.isInt = true;
    flatShape.shape = {2};
    flatShape.ints = {1, int32_t(fc->shape[0])};
    *graph.add_node() = makeConst("flatten/shape", flatShape);
    NodeDef &flat = b.node("flatten", "Reshape", {pooled, "flatten/shape"});
    (*flat.mutable_attr())["Tshape"].set_type(tfgraph::DT_INT32);
    b.node(faceNetOutput, "MatMul", {"flatten", "fc"});
    return graph;
}

} // namespace mendral::tfjs
