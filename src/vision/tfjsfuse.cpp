#include "vision/tfjsfuse.h"

#include <opencv2/core/hal/intrin.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/dnn/layer.details.hpp>
#include <opencv2/dnn/shape_utils.hpp>

#include <cmath>
#include <map>
#include <mutex>

#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#define MENDRAL_DEPTHWISE_AVX2 1
#endif

namespace mendral::tfjs {

namespace {

const char *const kChannelScale = "MendralChannelScale";
const char *const kHardSwish = "MendralHardSwish";
const char *const kDepthwise = "MendralDepthwise";

// y = (k · x) · min(max(x + 3, 0), 6), in the order and with the factor k (1/6 as the model
// stores it) of the nodes it replaces, so the values are the same to the bit.
class HardSwishLayer : public cv::dnn::Layer {
public:
    explicit HardSwishLayer(const cv::dnn::LayerParams &params)
    {
        setParamsFrom(params);
        m_scale = params.get<float>("scale");
    }

    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params)
    {
        return cv::makePtr<HardSwishLayer>(params);
    }

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, const int,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &) const override
    {
        CV_Assert(inputs.size() == 1);
        outputs.assign(1, inputs[0]);
        return false;
    }

    void forward(cv::InputArrayOfArrays inputsArr, cv::OutputArrayOfArrays outputsArr,
                 cv::OutputArrayOfArrays) override
    {
        std::vector<cv::Mat> inputs, outputs;
        inputsArr.getMatVector(inputs);
        outputsArr.getMatVector(outputs);
        const cv::Mat &x = inputs[0];
        cv::Mat &y = outputs[0];
        CV_Assert(x.type() == CV_32F && y.type() == CV_32F && x.isContinuous() && y.isContinuous());
        const float *in = x.ptr<float>();
        float *out = y.ptr<float>();
        const float k = m_scale;
        const size_t n = x.total();
        size_t i = 0;
#if CV_SIMD
        const cv::v_float32 vk = cv::vx_setall_f32(k), three = cv::vx_setall_f32(3.0f),
                            zero = cv::vx_setzero_f32(), six = cv::vx_setall_f32(6.0f);
        for (; i + cv::v_float32::nlanes <= n; i += cv::v_float32::nlanes) {
            const cv::v_float32 v = cv::vx_load(in + i);
            cv::v_store(out + i, (vk * v) * cv::v_min(cv::v_max(v + three, zero), six));
        }
#endif
        for (; i < n; ++i)
            out[i] = (k * in[i]) * std::min(std::max(in[i] + 3.0f, 0.0f), 6.0f);
    }

private:
    float m_scale = 0;
};

// y = x · s, where x is N × C × H × W and s holds one factor a channel (N × C × 1 × 1).
class ChannelScaleLayer : public cv::dnn::Layer {
public:
    explicit ChannelScaleLayer(const cv::dnn::LayerParams &params) { setParamsFrom(params); }

    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params)
    {
        return cv::makePtr<ChannelScaleLayer>(params);
    }

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, const int,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &) const override
    {
        CV_Assert(inputs.size() == 2 && inputs[0].size() >= 2);
        CV_Assert(size_t(cv::dnn::total(inputs[1])) == size_t(inputs[0][0]) * size_t(inputs[0][1]));
        outputs.assign(1, inputs[0]);
        return false;
    }

    void forward(cv::InputArrayOfArrays inputsArr, cv::OutputArrayOfArrays outputsArr,
                 cv::OutputArrayOfArrays) override
    {
        std::vector<cv::Mat> inputs, outputs;
        inputsArr.getMatVector(inputs);
        outputsArr.getMatVector(outputs);
        const cv::Mat &x = inputs[0], &s = inputs[1];
        cv::Mat &y = outputs[0];
        CV_Assert(x.type() == CV_32F && s.type() == CV_32F && y.type() == CV_32F && x.isContinuous()
                  && s.isContinuous() && y.isContinuous());
        const size_t planes = s.total();
        const size_t plane = x.total() / planes;
        const float *in = x.ptr<float>();
        const float *factor = s.ptr<float>();
        float *out = y.ptr<float>();
        for (size_t c = 0; c < planes; ++c) {
            const float k = factor[c];
            const float *from = in + c * plane;
            float *to = out + c * plane;
            for (size_t i = 0; i < plane; ++i)
                to[i] = from[i] * k;
        }
    }
};

#ifdef MENDRAL_DEPTHWISE_AVX2
// Eight taps of a row for eight outputs, `stride` 1 or 2 apart.
__attribute__((target("avx2,fma"))) inline __m256 tapsAvx2(const float *from, int stride)
{
    if (stride == 1)
        return _mm256_loadu_ps(from);
    // The even floats of sixteen: shuffled within each half, then the halves' pairs in order.
    const __m256 even = _mm256_shuffle_ps(_mm256_loadu_ps(from), _mm256_loadu_ps(from + 8), _MM_SHUFFLE(2, 0, 2, 0));
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(even), _MM_SHUFFLE(3, 1, 2, 0)));
}

// The vector part of DepthwiseLayer's row on a processor with AVX2 and FMA: eight outputs a
// vector, four vectors at once, each tap one fused multiply-add. Returns how many outputs it
// wrote, from the first; the rest are left to the caller.
__attribute__((target("avx2,fma"))) int convolveRowAvx2(float *out, const float *rows, int pitch, const float *w,
                                                        float bias, int n, int k, int stride)
{
    constexpr int kLanes = 8, kBlocks = 4;
    int i = 0;
    for (; i + kBlocks * kLanes <= n; i += kBlocks * kLanes) {
        __m256 acc[kBlocks];
        for (__m256 &a : acc)
            a = _mm256_set1_ps(bias);
        for (int ky = 0; ky < k; ++ky)
            for (int kx = 0; kx < k; ++kx) {
                const __m256 vw = _mm256_set1_ps(w[ky * k + kx]);
                const float *from = rows + size_t(ky) * size_t(pitch) + size_t(i * stride + kx);
                for (int b = 0; b < kBlocks; ++b)
                    acc[b] = _mm256_fmadd_ps(tapsAvx2(from + b * kLanes * stride, stride), vw, acc[b]);
            }
        for (int b = 0; b < kBlocks; ++b)
            _mm256_storeu_ps(out + i + b * kLanes, acc[b]);
    }
    for (; i + kLanes <= n; i += kLanes) {
        __m256 acc = _mm256_set1_ps(bias);
        for (int ky = 0; ky < k; ++ky)
            for (int kx = 0; kx < k; ++kx)
                acc = _mm256_fmadd_ps(tapsAvx2(rows + size_t(ky) * size_t(pitch) + size_t(i * stride + kx), stride),
                                      _mm256_set1_ps(w[ky * k + kx]), acc);
        _mm256_storeu_ps(out + i, acc);
    }
    return i;
}

bool hasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    }();
    return has;
}
#endif

// A depthwise convolution with a square kernel wider than 3 (OpenCV's fast path takes only
// 3 × 3; its general one ran 5 × 5 kernels at a third of that speed), TensorFlow's SAME
// padding, stride 1 or 2, and an optional bias. blobs: the kernel as channels × k × k, then
// the bias.
class DepthwiseLayer : public cv::dnn::Layer {
public:
    explicit DepthwiseLayer(const cv::dnn::LayerParams &params)
    {
        setParamsFrom(params);
        m_kernel = params.get<int>("kernel");
        m_stride = params.get<int>("stride");
    }

    static cv::Ptr<cv::dnn::Layer> create(cv::dnn::LayerParams &params)
    {
        return cv::makePtr<DepthwiseLayer>(params);
    }

    bool getMemoryShapes(const std::vector<cv::dnn::MatShape> &inputs, const int,
                         std::vector<cv::dnn::MatShape> &outputs,
                         std::vector<cv::dnn::MatShape> &) const override
    {
        CV_Assert(inputs.size() == 1 && inputs[0].size() == 4 && !blobs.empty());
        CV_Assert(blobs[0].total() == size_t(inputs[0][1]) * size_t(m_kernel * m_kernel));
        CV_Assert(blobs.size() < 2 || blobs[1].total() == size_t(inputs[0][1]));
        cv::dnn::MatShape out = inputs[0];
        out[2] = (out[2] + m_stride - 1) / m_stride;
        out[3] = (out[3] + m_stride - 1) / m_stride;
        outputs.assign(1, out);
        return false;
    }

    void forward(cv::InputArrayOfArrays inputsArr, cv::OutputArrayOfArrays outputsArr,
                 cv::OutputArrayOfArrays) override
    {
        std::vector<cv::Mat> inputs, outputs;
        inputsArr.getMatVector(inputs);
        outputsArr.getMatVector(outputs);
        const cv::Mat &x = inputs[0];
        cv::Mat &y = outputs[0];
        CV_Assert(x.type() == CV_32F && y.type() == CV_32F && x.isContinuous() && y.isContinuous());
        const int channels = x.size[0] * x.size[1], ih = x.size[2], iw = x.size[3];
        const int oh = y.size[2], ow = y.size[3], k = m_kernel, s = m_stride;
        // SAME padding: the missing rows and columns, the smaller half before.
        const int top = std::max((oh - 1) * s + k - ih, 0) / 2, left = std::max((ow - 1) * s + k - iw, 0) / 2;
        const int ph = (oh - 1) * s + k, pw = (ow - 1) * s + k + 2 * kLanes;
        std::vector<float> padded(static_cast<size_t>(ph) * static_cast<size_t>(pw));
        const float *weights = blobs[0].ptr<float>();
        const float *bias = blobs.size() > 1 ? blobs[1].ptr<float>() : nullptr;
        for (int plane = 0; plane < channels; ++plane) {
            const int c = plane % x.size[1];
            std::fill(padded.begin(), padded.end(), 0.0f);
            const float *in = x.ptr<float>() + size_t(plane) * size_t(ih) * size_t(iw);
            for (int r = 0; r < ih && r + top < ph; ++r)
                std::copy_n(in + size_t(r) * size_t(iw), std::min(iw, pw - left), &padded[size_t(r + top) * size_t(pw) + size_t(left)]);
            const float *w = weights + size_t(c) * size_t(k * k);
            float *out = y.ptr<float>() + size_t(plane) * size_t(oh) * size_t(ow);
            for (int r = 0; r < oh; ++r)
                convolveRow(out + size_t(r) * size_t(ow), &padded[size_t(r * s) * size_t(pw)], pw, w,
                            bias ? bias[c] : 0.0f, ow, k, s);
        }
    }

private:
#if CV_SIMD
    static constexpr int kLanes = cv::v_float32::nlanes;
#else
    static constexpr int kLanes = 1;
#endif

    // One output row: out[i] = bias + the sum over the kernel of w[ky·k + kx] ·
    // rows[ky·pitch + i·stride + kx], added in that order for every output, so the vector and
    // the scalar paths give the same floats (with AVX2, whose fused multiply-adds round once a
    // tap, to the last bits). Four vectors of outputs are summed at once: one sum is a chain of
    // k² dependent additions that would leave the adder idle between them.
    static void convolveRow(float *out, const float *rows, int pitch, const float *w, float bias, int n, int k,
                            int stride)
    {
        int i = 0;
        bool vectorised = false;
#ifdef MENDRAL_DEPTHWISE_AVX2
        if (stride <= 2 && hasAvx2()) {
            i = convolveRowAvx2(out, rows, pitch, w, bias, n, k, stride);
            vectorised = true;
        }
#endif
#if CV_SIMD
        auto taps = [stride](const float *from) {
            if (stride == 1)
                return cv::vx_load(from);
            cv::v_float32 even, odd;
            cv::v_load_deinterleave(from, even, odd);
            return even;
        };
        if (stride <= 2 && !vectorised) {
            constexpr int kBlocks = 4;
            for (; i + kBlocks * kLanes <= n; i += kBlocks * kLanes) {
                cv::v_float32 acc[kBlocks];
                for (cv::v_float32 &a : acc)
                    a = cv::vx_setall_f32(bias);
                for (int ky = 0; ky < k; ++ky)
                    for (int kx = 0; kx < k; ++kx) {
                        const cv::v_float32 vw = cv::vx_setall_f32(w[ky * k + kx]);
                        const float *from = rows + size_t(ky) * size_t(pitch) + size_t(i * stride + kx);
                        for (int b = 0; b < kBlocks; ++b)
                            acc[b] = cv::v_muladd(taps(from + b * kLanes * stride), vw, acc[b]);
                    }
                for (int b = 0; b < kBlocks; ++b)
                    cv::v_store(out + i + b * kLanes, acc[b]);
            }
            for (; i + kLanes <= n; i += kLanes) {
                cv::v_float32 acc = cv::vx_setall_f32(bias);
                for (int ky = 0; ky < k; ++ky)
                    for (int kx = 0; kx < k; ++kx)
                        acc = cv::v_muladd(taps(rows + size_t(ky) * size_t(pitch) + size_t(i * stride + kx)),
                                           cv::vx_setall_f32(w[ky * k + kx]), acc);
                cv::v_store(out + i, acc);
            }
        }
#endif
        for (; i < n; ++i) {
            float acc = bias;
            for (int ky = 0; ky < k; ++ky)
                for (int kx = 0; kx < k; ++kx)
                    acc += w[ky * k + kx] * rows[size_t(ky) * size_t(pitch) + size_t(i * stride + kx)];
            out[i] = acc;
        }
    }

    int m_kernel = 0, m_stride = 1;
};

class Nodes {
public:
    explicit Nodes(const GraphDef &graph)
    {
        for (const NodeDef &n : graph.node())
            m_byName[n.name()] = &n;
    }
    const NodeDef *operator()(const std::string &input) const
    {
        auto it = m_byName.find(nodeName(input));
        return it == m_byName.end() ? nullptr : it->second;
    }
    const NodeDef *input(const NodeDef &n, int i) const
    {
        return i < n.input_size() ? (*this)(n.input(i)) : nullptr;
    }

private:
    std::map<std::string, const NodeDef *> m_byName;
};

bool isConst(const NodeDef *n)
{
    return n && n->op() == "Const";
}

std::optional<float> scalarOf(const NodeDef *n)
{
    if (!isConst(n))
        return std::nullopt;
    const auto v = constValues(*n);
    return v && v->size() == 1 ? std::optional<float>((*v)[0]) : std::nullopt;
}

// A binary node of a tensor and a constant: the tensor input and the constant.
struct WithConst {
    std::string tensor;
    float value = 0;
};

std::optional<WithConst> withConst(const Nodes &nodes, const NodeDef &n)
{
    if (n.input_size() != 2)
        return std::nullopt;
    for (int i = 0; i < 2; ++i)
        if (const auto v = scalarOf(nodes.input(n, i)); v && !isConst(nodes.input(n, 1 - i)))
            return WithConst{n.input(1 - i), *v};
    return std::nullopt;
}

struct HardSwish {
    std::string x;
    float scale = 0;
};

// x and k when `n` is Mul(Mul(k, x), Relu6(x + 3)) in any operand order, with k near 1/6 (the
// model's weights hold it in half precision).
std::optional<HardSwish> hardSwishOf(const Nodes &nodes, const NodeDef &n)
{
    if (n.op() != "Mul" || n.input_size() != 2)
        return std::nullopt;
    for (int i = 0; i < 2; ++i) {
        const NodeDef *scaled = nodes.input(n, i), *clipped = nodes.input(n, 1 - i);
        if (!scaled || !clipped || scaled->op() != "Mul" || clipped->op() != "Relu6")
            continue;
        const NodeDef *shifted = nodes.input(*clipped, 0);
        if (!shifted || (shifted->op() != "Add" && shifted->op() != "AddV2"))
            continue;
        const auto x = withConst(nodes, *scaled);
        const auto y = withConst(nodes, *shifted);
        if (x && y && x->tensor == y->tensor && std::abs(x->value - 1.0f / 6.0f) < 1e-3f && y->value == 3.0f)
            return HardSwish{x->tensor, x->value};
    }
    return std::nullopt;
}

// Whether `n` is one value a channel: a mean over height and width, or what is computed from
// such values alone.
bool perChannel(const Nodes &nodes, const NodeDef *n, std::map<const NodeDef *, bool> &known)
{
    if (!n || isConst(n))
        return false;
    if (auto it = known.find(n); it != known.end())
        return it->second;
    bool result = false;
    if (n->op() == "Mean") {
        const auto keep = n->attr().find("keep_dims");
        const NodeDef *axes = nodes.input(*n, 1);
        const auto values = axes ? constValues(*axes) : std::nullopt;
        result = keep != n->attr().end() && keep->second.b() && values
            && *values == std::vector<float>{1, 2};
    } else if (n->op() == "Relu" || n->op() == "Relu6" || n->op() == "Sigmoid" || n->op() == "BiasAdd"
               || n->op() == "Conv2D" || n->op() == "Mul" || n->op() == "Add" || n->op() == "Sub") {
        bool any = false, all = true;
        for (int i = 0; i < n->input_size(); ++i) {
            const NodeDef *in = nodes.input(*n, i);
            if (isConst(in))
                continue;
            any = true;
            // A convolution's kernel is a constant; its image is input 0.
            all = all && (n->op() != "Conv2D" || i == 0) && perChannel(nodes, in, known);
        }
        result = any && all;
    }
    known[n] = result;
    return result;
}

NodeDef plainNode(const std::string &name, const std::string &op, std::initializer_list<std::string> inputs)
{
    NodeDef n;
    n.set_name(name);
    n.set_op(op);
    for (const std::string &i : inputs)
        n.add_input(i);
    return n;
}

// The stride of a depthwise convolution the layer above can run (height and width alike, SAME
// padding, no dilation, NHWC), or 0.
int wideDepthwiseStride(const NodeDef &n, const std::vector<int64_t> &kernel)
{
    if (n.op() != "DepthwiseConv2dNative" || kernel.size() != 4 || kernel[0] != kernel[1] || kernel[0] <= 3
        || kernel[3] != 1)
        return 0;
    auto attr = [&n](const char *key) -> const tfgraph::AttrValue * {
        auto it = n.attr().find(key);
        return it == n.attr().end() ? nullptr : &it->second;
    };
    const auto *padding = attr("padding"), *strides = attr("strides"), *dilations = attr("dilations"),
               *format = attr("data_format");
    if (!padding || padding->s() != "SAME" || (format && !format->s().empty() && format->s() != "NHWC"))
        return 0;
    if (dilations)
        for (int64_t d : dilations->list().i())
            if (d != 1)
                return 0;
    if (!strides || strides->list().i_size() != 4 || strides->list().i(1) != strides->list().i(2))
        return 0;
    const int64_t s = strides->list().i(1);
    return s == 1 || s == 2 ? int(s) : 0;
}

} // namespace

void fuseWideDepthwise(GraphDef &graph)
{
    const Nodes nodes(graph);
    std::map<std::string, std::vector<const NodeDef *>> consumers;
    for (const NodeDef &n : graph.node())
        for (const std::string &in : n.input())
            consumers[nodeName(in)].push_back(&n);
    std::map<std::string, NodeDef> replaced; // by the name of the node it replaces
    std::vector<NodeDef> added;
    for (const NodeDef &n : graph.node()) {
        const NodeDef *kernelNode = nodes.input(n, 1);
        const std::vector<int64_t> kernel = kernelNode ? constShape(*kernelNode) : std::vector<int64_t>{};
        const int stride = wideDepthwiseStride(n, kernel);
        const auto values = stride ? constValues(*kernelNode) : std::nullopt;
        if (!values)
            continue;
        // Height × width × channels × 1 to channels × height × width.
        const int64_t k = kernel[0], channels = kernel[2];
        Weight packed;
        packed.shape = {channels * k * k};
        packed.floats.resize(size_t(channels * k * k));
        for (int64_t c = 0; c < channels; ++c)
            for (int64_t i = 0; i < k * k; ++i)
                packed.floats[size_t(c * k * k + i)] = (*values)[size_t(i * channels + c)];
        const std::string packedName = n.name() + "/packed";
        added.push_back(makeConst(packedName, packed));
        // With the bias that follows it, when nothing else reads the convolution.
        const auto &readers = consumers[n.name()];
        const NodeDef *biasAdd = readers.size() == 1 && readers[0]->op() == "BiasAdd" ? readers[0] : nullptr;
        const NodeDef *bias = biasAdd ? nodes.input(*biasAdd, 1) : nullptr;
        const std::vector<int64_t> biasShape = bias ? constShape(*bias) : std::vector<int64_t>{};
        const bool withBias = biasShape.size() == 1 && biasShape[0] == channels;
        NodeDef fused = withBias ? plainNode(biasAdd->name(), kDepthwise, {n.input(0), packedName, biasAdd->input(1)})
                                 : plainNode(n.name(), kDepthwise, {n.input(0), packedName});
        (*fused.mutable_attr())["kernel"].set_i(k);
        (*fused.mutable_attr())["stride"].set_i(stride);
        replaced[fused.name()] = std::move(fused);
    }
    for (NodeDef &n : *graph.mutable_node())
        if (auto it = replaced.find(n.name()); it != replaced.end())
            n = std::move(it->second);
    for (NodeDef &n : added)
        *graph.add_node() = std::move(n);
}

void fuseHardSwish(GraphDef &graph)
{
    const Nodes nodes(graph);
    std::map<std::string, HardSwish> fused; // by the name of the node it replaces
    for (const NodeDef &n : graph.node())
        if (const auto h = hardSwishOf(nodes, n))
            fused[n.name()] = *h;
    for (NodeDef &n : *graph.mutable_node())
        if (auto it = fused.find(n.name()); it != fused.end()) {
            n = plainNode(n.name(), kHardSwish, {it->second.x});
            (*n.mutable_attr())["scale"].set_f(it->second.scale);
        }
}

void fuseChannelScales(GraphDef &graph)
{
    const Nodes nodes(graph);
    std::map<const NodeDef *, bool> known;
    std::map<std::string, std::pair<std::string, std::string>> scaled; // name → (x, factors)
    for (const NodeDef &n : graph.node()) {
        if (n.op() != "Mul" || n.input_size() != 2)
            continue;
        const NodeDef *a = nodes.input(n, 0), *b = nodes.input(n, 1);
        if (!a || !b || isConst(a) || isConst(b))
            continue;
        const bool aGate = perChannel(nodes, a, known), bGate = perChannel(nodes, b, known);
        if (aGate != bGate)
            scaled[n.name()] = aGate ? std::pair(n.input(1), n.input(0)) : std::pair(n.input(0), n.input(1));
    }
    for (NodeDef &n : *graph.mutable_node())
        if (auto it = scaled.find(n.name()); it != scaled.end())
            n = plainNode(n.name(), kChannelScale, {it->second.first, it->second.second});
}

bool keepFirstChannels(GraphDef &graph, const std::string &output, int count, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const Nodes nodes(graph);
    const NodeDef *n = nodes(throughIdentities(graph, output));
    while (n && (n->op() == "Sigmoid" || n->op() == "Relu" || n->op() == "Relu6" || n->op() == "Identity"))
        n = nodes.input(*n, 0);
    const NodeDef *conv = n && n->op() == "BiasAdd" ? nodes.input(*n, 0) : nullptr;
    const NodeDef *bias = conv ? nodes.input(*n, 1) : nullptr;
    const NodeDef *kernel = conv && conv->op() == "Conv2D" ? nodes.input(*conv, 1) : nullptr;
    const std::vector<int64_t> kernelShape = kernel ? constShape(*kernel) : std::vector<int64_t>{};
    const auto kernelValues = kernel ? constValues(*kernel) : std::nullopt;
    const auto biasValues = bias ? constValues(*bias) : std::nullopt;
    if (kernelShape.size() != 4 || !kernelValues || !biasValues)
        return fail("no convolution ends " + QString::fromStdString(output));
    const int64_t channels = kernelShape[3];
    if (count < 1 || channels < count || int64_t(biasValues->size()) != channels)
        return fail("the convolution before " + QString::fromStdString(output) + " has too few channels");

    // The kernel is height × width × in × out: keep the first `count` of every run of `out`.
    Weight k, b;
    k.shape = {kernelShape[0], kernelShape[1], kernelShape[2], count};
    for (size_t i = 0; i < kernelValues->size(); i += size_t(channels))
        k.floats.insert(k.floats.end(), kernelValues->begin() + long(i), kernelValues->begin() + long(i) + count);
    b.shape = {count};
    b.floats.assign(biasValues->begin(), biasValues->begin() + count);
    const std::string convName = conv->name(), biasAddName = n->name();
    const std::string kernelName = convName + "/first_channels", biasName = biasAddName + "/first_channels";
    for (NodeDef &m : *graph.mutable_node()) {
        if (m.name() == convName)
            m.set_input(1, kernelName);
        else if (m.name() == biasAddName)
            m.set_input(1, biasName);
    }
    *graph.add_node() = makeConst(kernelName, k);
    *graph.add_node() = makeConst(biasName, b);
    return true;
}

void registerFusedLayers()
{
    static std::once_flag once;
    std::call_once(once, [] {
        cv::dnn::LayerFactory::registerLayer(kChannelScale, ChannelScaleLayer::create);
        cv::dnn::LayerFactory::registerLayer(kHardSwish, HardSwishLayer::create);
        cv::dnn::LayerFactory::registerLayer(kDepthwise, DepthwiseLayer::create);
    });
}

} // namespace mendral::tfjs
