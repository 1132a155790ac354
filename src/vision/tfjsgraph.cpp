#include "vision/tfjsgraph.h"

#include <google/protobuf/util/json_util.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

namespace mendral::tfjs {

namespace {

using tfgraph::AttrValue;
using tfgraph::DataType;

bool fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

void setValue(NodeDef &node, const Weight &w)
{
    const DataType type = w.isInt ? tfgraph::DT_INT32 : tfgraph::DT_FLOAT;
    (*node.mutable_attr())["dtype"].set_type(type);
    tfgraph::TensorProto *t = (*node.mutable_attr())["value"].mutable_tensor();
    t->Clear();
    t->set_dtype(type);
    for (int64_t d : w.shape)
        t->mutable_tensor_shape()->add_dim()->set_size(d);
    // The importer reads a single value only from the typed fields; packed content of one
    // element crashes it.
    if (w.count() == 1) {
        if (w.isInt)
            t->add_int_val(w.ints[0]);
        else
            t->add_float_val(w.floats[0]);
        return;
    }
    const void *data = w.isInt ? static_cast<const void *>(w.ints.data()) : w.floats.data();
    t->set_tensor_content(std::string(static_cast<const char *>(data), w.count() * 4));
}

// Attributes a plain op keeps from its fused form.
void copyAttrs(const NodeDef &from, NodeDef &to, std::initializer_list<const char *> keys)
{
    for (const char *key : keys) {
        auto it = from.attr().find(key);
        if (it != from.attr().end())
            (*to.mutable_attr())[key] = it->second;
    }
}

NodeDef makeNode(const std::string &name, const std::string &op,
                 std::initializer_list<std::string> inputs)
{
    NodeDef n;
    n.set_name(name);
    n.set_op(op);
    for (const std::string &i : inputs)
        n.add_input(i);
    (*n.mutable_attr())["T"].set_type(tfgraph::DT_FLOAT);
    return n;
}

// Prelu(x, a) with a constant a, in ops the importer has: (1 − a)·Relu(x) + a·x, written as
// Sub(Mul(Relu(x), 1 − a), Mul(x, −a)) since the importer misreads Add(t, Mul(t, c)).
bool appendPrelu(const std::string &name, const std::string &x, const NodeDef *alpha,
                 std::vector<NodeDef> &out, QString *error)
{
    const std::optional<std::vector<float>> a = alpha ? constValues(*alpha) : std::nullopt;
    if (!a || a->empty())
        return fail(error, QString("Prelu %1 without a constant slope").arg(QString::fromStdString(name)));
    Weight kept, negated;
    kept.shape = negated.shape = constShape(*alpha);
    for (float v : *a) {
        kept.floats.push_back(1.0f - v);
        negated.floats.push_back(-v);
    }
    out.push_back(makeConst(name + "/kept", kept));
    out.push_back(makeConst(name + "/negated", negated));
    out.push_back(makeNode(name + "/relu", "Relu", {x}));
    out.push_back(makeNode(name + "/positive", "Mul", {name + "/relu", name + "/kept"}));
    out.push_back(makeNode(name + "/negative", "Mul", {x, name + "/negated"}));
    out.push_back(makeNode(name, "Sub", {name + "/positive", name + "/negative"}));
    return true;
}

// Splits a fused node into op + BiasAdd + activation; the last keeps the fused name. A Prelu
// activation takes its slope from the fused node's fourth input (`alpha`).
bool splitFused(const NodeDef &fused, const std::string &plainOp, const NodeDef *alpha,
                std::vector<NodeDef> &out, QString *error)
{
    std::vector<std::string> ops;
    if (auto it = fused.attr().find("fused_ops"); it != fused.attr().end())
        for (const std::string &s : it->second.list().s())
            ops.push_back(s);
    if (fused.input_size() < 2 || ops.empty() || ops[0] != "BiasAdd" || ops.size() > 2
        || fused.input_size() < 3)
        return fail(error, QString("cannot split %1").arg(QString::fromStdString(fused.name())));
    const std::string activation = ops.size() == 2 ? ops[1] : std::string();
    if (!activation.empty() && activation != "Relu" && activation != "Relu6"
        && activation != "Sigmoid" && activation != "Elu" && activation != "Prelu")
        return fail(error, QString("unsupported fused activation %1")
                               .arg(QString::fromStdString(activation)));
    const std::string base = fused.name();
    NodeDef op = makeNode(base + "/plain", plainOp, {fused.input(0), fused.input(1)});
    if (plainOp == "MatMul")
        copyAttrs(fused, op, {"transpose_a", "transpose_b"});
    else
        copyAttrs(fused, op, {"strides", "padding", "data_format", "dilations"});
    NodeDef bias = makeNode(activation.empty() ? base : base + "/bias", "BiasAdd",
                            {op.name(), fused.input(2)});
    copyAttrs(fused, bias, {"data_format"});
    out.push_back(std::move(op));
    out.push_back(bias);
    if (activation == "Prelu")
        return appendPrelu(base, bias.name(), alpha, out, error);
    if (!activation.empty())
        out.push_back(makeNode(base, activation, {bias.name()}));
    return true;
}

} // namespace

std::string nodeName(const std::string &input)
{
    std::string name = input.rfind('^', 0) == 0 ? input.substr(1) : input;
    const auto colon = name.rfind(':');
    if (colon != std::string::npos && colon + 1 < name.size()
        && name.find_first_not_of("0123456789", colon + 1) == std::string::npos)
        name.resize(colon);
    return name;
}

void setInputSize(GraphDef &graph, int height, int width)
{
    for (NodeDef &n : *graph.mutable_node()) {
        if (n.op() != "Placeholder")
            continue;
        auto it = n.mutable_attr()->find("shape");
        if (it == n.mutable_attr()->end() || it->second.shape().dim_size() != 4)
            continue;
        auto *shape = it->second.mutable_shape();
        shape->mutable_dim(0)->set_size(1);
        shape->mutable_dim(1)->set_size(height);
        shape->mutable_dim(2)->set_size(width);
    }
}

std::string throughIdentities(const GraphDef &graph, const std::string &output)
{
    std::string name = nodeName(output);
    for (int hops = 0; hops < graph.node_size(); ++hops) {
        const auto it = std::find_if(graph.node().begin(), graph.node().end(),
                                     [&](const NodeDef &n) { return n.name() == name; });
        if (it == graph.node().end() || it->op() != "Identity" || it->input_size() < 1)
            break;
        name = nodeName(it->input(0));
    }
    return name;
}

NodeDef makeConst(const std::string &name, const Weight &w)
{
    NodeDef n;
    n.set_name(name);
    n.set_op("Const");
    setValue(n, w);
    return n;
}

std::vector<int64_t> constShape(const NodeDef &node)
{
    std::vector<int64_t> shape;
    if (node.op() != "Const")
        return shape;
    auto it = node.attr().find("value");
    if (it == node.attr().end())
        return shape;
    for (const auto &d : it->second.tensor().tensor_shape().dim())
        shape.push_back(d.size());
    return shape;
}

std::optional<std::vector<float>> constValues(const NodeDef &node)
{
    if (node.op() != "Const")
        return std::nullopt;
    auto it = node.attr().find("value");
    if (it == node.attr().end())
        return std::nullopt;
    const tfgraph::TensorProto &t = it->second.tensor();
    std::vector<float> v;
    if (t.dtype() == tfgraph::DT_FLOAT) {
        if (!t.tensor_content().empty()) {
            v.resize(t.tensor_content().size() / 4);
            std::memcpy(v.data(), t.tensor_content().data(), v.size() * 4);
        } else {
            v.assign(t.float_val().begin(), t.float_val().end());
        }
    } else if (t.dtype() == tfgraph::DT_INT32) {
        if (!t.tensor_content().empty()) {
            std::vector<int32_t> ints(t.tensor_content().size() / 4);
            std::memcpy(ints.data(), t.tensor_content().data(), ints.size() * 4);
            v.assign(ints.begin(), ints.end());
        } else {
            v.assign(t.int_val().begin(), t.int_val().end());
        }
    } else {
        return std::nullopt;
    }
    return v;
}

std::optional<GraphDef> loadGraphModel(const QString &modelJsonPath, QString *error)
{
    QFile file(modelJsonPath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, "cannot read " + modelJsonPath);
        return std::nullopt;
    }
    QJsonParseError parseError;
    const QJsonObject model = QJsonDocument::fromJson(file.readAll(), &parseError).object();
    const QJsonObject topology = model.value("modelTopology").toObject();
    if (parseError.error != QJsonParseError::NoError || topology.isEmpty()) {
        fail(error, "not a graph model: " + modelJsonPath);
        return std::nullopt;
    }
    GraphDef graph;
    google::protobuf::util::JsonParseOptions options;
    options.ignore_unknown_fields = true;
    const QByteArray json = QJsonDocument(topology).toJson(QJsonDocument::Compact);
    const auto status = google::protobuf::util::JsonStringToMessage(
        google::protobuf::StringPiece(json.constData(), size_t(json.size())), &graph, options);
    if (!status.ok()) {
        fail(error, "bad topology: " + QString::fromStdString(status.ToString()));
        return std::nullopt;
    }
    const auto weights = readWeights(model.value("weightsManifest").toArray(),
                                     QFileInfo(modelJsonPath).absolutePath(), error);
    if (!weights)
        return std::nullopt;
    for (NodeDef &node : *graph.mutable_node()) {
        if (node.op() != "Const")
            continue;
        auto it = weights->find(node.name());
        if (it == weights->end()) {
            fail(error, "no weights for " + QString::fromStdString(node.name()));
            return std::nullopt;
        }
        setValue(node, it->second);
    }
    return graph;
}

bool rewriteForOpenCV(GraphDef &graph, QString *error)
{
    std::map<std::string, const NodeDef *> byName;
    for (const NodeDef &n : graph.node())
        byName[n.name()] = &n;
    auto input = [&](const NodeDef &n, int i) -> const NodeDef * {
        if (i >= n.input_size())
            return nullptr;
        auto it = byName.find(nodeName(n.input(i)));
        return it == byName.end() ? nullptr : it->second;
    };
    auto scalar = [&](const NodeDef *n) -> std::optional<float> {
        if (!n)
            return std::nullopt;
        const auto v = constValues(*n);
        if (!v || v->size() != 1)
            return std::nullopt;
        return (*v)[0];
    };

    std::vector<NodeDef> out;
    out.reserve(size_t(graph.node_size()) * 2);
    for (const NodeDef &n : graph.node()) {
        if (n.op() == "_FusedConv2D" || n.op() == "FusedDepthwiseConv2dNative"
            || n.op() == "_FusedMatMul") {
            const std::string plain = n.op() == "_FusedConv2D" ? "Conv2D"
                : n.op() == "_FusedMatMul"                   ? "MatMul"
                                                             : "DepthwiseConv2dNative";
            if (!splitFused(n, plain, input(n, 3), out, error))
                return false;
            continue;
        }
        if (n.op() == "Prelu") {
            if (!appendPrelu(n.name(), n.input(0), input(n, 1), out, error))
                return false;
            continue;
        }
        NodeDef copy = n;
        // Control dependencies mean nothing to the importer and may name pruned nodes.
        for (int i = copy.input_size() - 1; i >= 0; --i)
            if (copy.input(i).rfind('^', 0) == 0)
                copy.mutable_input()->DeleteSubrange(i, 1);
        if (n.op() == "Maximum" || n.op() == "Minimum") {
            // A clip to 0…6 in either order is Relu6.
            const NodeDef *inner = input(n, 0);
            const bool outerMax = n.op() == "Maximum";
            if (inner && inner->op() == (outerMax ? "Minimum" : "Maximum")) {
                const auto outerBound = scalar(input(n, 1));
                const auto innerBound = scalar(input(*inner, 1));
                const float low = outerMax ? outerBound.value_or(-1) : innerBound.value_or(-1);
                const float high = outerMax ? innerBound.value_or(-1) : outerBound.value_or(-1);
                if (outerBound && innerBound && low == 0.0f && high == 6.0f) {
                    NodeDef relu6 = makeNode(n.name(), "Relu6", {inner->input(0)});
                    out.push_back(std::move(relu6));
                    continue;
                }
            }
        }
        if ((n.op() == "Add" || n.op() == "AddV2") && n.input_size() == 2) {
            // Add(a, Mul(b, c)) with a tensor a and constant c: the importer mistakes it for a
            // scale-and-shift; Sub(a, Mul(b, −c)) is the same and imports right.
            const NodeDef *a = input(n, 0);
            const NodeDef *mul = input(n, 1);
            const NodeDef *c = mul && mul->op() == "Mul" ? input(*mul, 1) : nullptr;
            const auto cValues = c ? constValues(*c) : std::nullopt;
            if (a && a->op() != "Const" && cValues && input(*mul, 0)
                && input(*mul, 0)->op() != "Const") {
                Weight negated;
                negated.shape = constShape(*c);
                for (float v : *cValues)
                    negated.floats.push_back(-v);
                out.push_back(makeConst(n.name() + "/negated", negated));
                out.push_back(makeNode(n.name() + "/mul", "Mul",
                                       {mul->input(0), n.name() + "/negated"}));
                out.push_back(makeNode(n.name(), "Sub", {n.input(0), n.name() + "/mul"}));
                continue;
            }
            if (n.op() == "AddV2")
                copy.set_op("Add");
        }
        out.push_back(std::move(copy));
    }
    graph.clear_node();
    for (NodeDef &n : out)
        *graph.add_node() = std::move(n);
    return true;
}

bool prune(GraphDef &graph, const std::vector<std::string> &outputs, QString *error)
{
    std::map<std::string, int> index;
    for (int i = 0; i < graph.node_size(); ++i)
        index[graph.node(i).name()] = i;
    std::set<int> keep;
    std::vector<std::string> pending;
    for (const std::string &o : outputs)
        pending.push_back(nodeName(o));
    while (!pending.empty()) {
        const std::string name = pending.back();
        pending.pop_back();
        auto it = index.find(name);
        if (it == index.end())
            return fail(error, "graph has no node " + QString::fromStdString(name));
        if (!keep.insert(it->second).second)
            continue;
        for (const std::string &in : graph.node(it->second).input())
            if (in.rfind('^', 0) != 0)
                pending.push_back(nodeName(in));
    }
    GraphDef pruned;
    *pruned.mutable_versions() = graph.versions();
    for (int i : keep) // ascending: the original (topological) order is kept
        *pruned.add_node() = graph.node(i);
    graph = std::move(pruned);
    return true;
}

std::string appendGlobalAveragePool(GraphDef &graph, const std::string &output)
{
    const std::string name = output + "/global_average_pool";
    Weight axes;
    axes.isInt = true;
    axes.shape = {2};
    axes.ints = {1, 2};
    *graph.add_node() = makeConst(name + "/axes", axes);
    NodeDef mean = makeNode(name, "Mean", {output, name + "/axes"});
    (*mean.mutable_attr())["keep_dims"].set_b(true);
    (*mean.mutable_attr())["Tidx"].set_type(tfgraph::DT_INT32);
    *graph.add_node() = std::move(mean);
    return name;
}

void resizeByFactor(GraphDef &graph, float factor)
{
    std::vector<NodeDef> factors;
    for (NodeDef &n : *graph.mutable_node()) {
        if ((n.op() != "ResizeBilinear" && n.op() != "ResizeNearestNeighbor") || n.input_size() != 2)
            continue;
        Weight w;
        w.floats = {factor};
        factors.push_back(makeConst(n.name() + "/factor_y", w));
        factors.push_back(makeConst(n.name() + "/factor_x", w));
        n.set_input(1, factors[factors.size() - 2].name());
        n.add_input(factors.back().name());
    }
    for (NodeDef &f : factors)
        *graph.add_node() = std::move(f);
}

} // namespace mendral::tfjs
