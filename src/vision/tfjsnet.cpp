#include "vision/tfjsnet.h"

#include "vision/tfjsfuse.h"

#include <opencv2/core/utility.hpp>

namespace mendral::tfjs {

void limitOpenCVThreads()
{
    static std::once_flag once;
    std::call_once(once, [] {
        try {
            cv::setNumThreads(1);
        } catch (...) {
        }
    });
}

std::shared_ptr<NetPool> NetPool::create(const GraphDef &graph, std::vector<std::string> outputs,
                                         QString *error)
{
    auto bytes = std::make_shared<std::string>();
    if (!graph.SerializeToString(bytes.get())) {
        if (error)
            *error = "cannot encode the graph";
        return nullptr;
    }
    return make([bytes](QString *) { return std::optional<std::string>(*bytes); }, std::move(outputs), error);
}

std::shared_ptr<NetPool> NetPool::create(GraphSource source, std::vector<std::string> outputs,
                                         QString *error)
{
    auto bytes = [source = std::move(source)](QString *error) -> std::optional<std::string> {
        const std::optional<GraphDef> graph = source(error);
        if (!graph)
            return std::nullopt;
        std::string encoded;
        if (!graph->SerializeToString(&encoded)) {
            if (error)
                *error = "cannot encode the graph";
            return std::nullopt;
        }
        return encoded;
    };
    return make(std::move(bytes), std::move(outputs), error);
}

std::shared_ptr<NetPool> NetPool::make(Encoder bytes, std::vector<std::string> outputs, QString *error)
{
    limitOpenCVThreads();
    registerFusedLayers();
    std::shared_ptr<NetPool> pool(new NetPool);
    pool->m_bytes = std::move(bytes);
    pool->m_outputs = std::move(outputs);
    auto net = pool->makeNet(error);
    if (!net)
        return nullptr;
    pool->m_idle.push_back(std::move(net));
    return pool;
}

NetPool::~NetPool() = default;

std::unique_ptr<cv::dnn::Net> NetPool::makeNet(QString *error) const
{
    try {
        const std::optional<std::string> bytes = m_bytes(error);
        if (!bytes)
            return nullptr;
        auto net = std::make_unique<cv::dnn::Net>(cv::dnn::readNetFromTensorflow(bytes->data(), bytes->size()));
        if (net->empty()) {
            if (error)
                *error = "OpenCV made an empty network";
            return nullptr;
        }
        net->setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        net->setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
        return net;
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        return nullptr;
    }
}

// An idle network, a new one when all are busy, or (once one could not be made) the next one
// another call hands back: a failed attempt is not repeated, since each reads the model again.
std::unique_ptr<cv::dnn::Net> NetPool::takeNet(QString *error)
{
    std::unique_lock lock(m_mutex);
    if (m_idle.empty() && !m_cannotGrow) {
        lock.unlock();
        if (auto net = makeNet(error))
            return net;
        lock.lock();
        m_cannotGrow = true;
        if (error)
            error->clear();
    }
    m_returned.wait(lock, [this] { return !m_idle.empty(); });
    auto net = std::move(m_idle.back());
    m_idle.pop_back();
    return net;
}

std::optional<std::vector<cv::Mat>> NetPool::run(const cv::Mat &blob, QString *error)
{
    std::unique_ptr<cv::dnn::Net> net = takeNet(error);
    std::optional<std::vector<cv::Mat>> result;
    try {
        net->setInput(blob);
        std::vector<cv::Mat> outs;
        std::vector<cv::String> names(m_outputs.begin(), m_outputs.end());
        net->forward(outs, names);
        // forward() reuses its buffers on the next call: hand out copies.
        for (cv::Mat &m : outs)
            m = m.clone();
        result = std::move(outs);
    } catch (const std::exception &e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        result.reset();
    }
    {
        std::lock_guard lock(m_mutex);
        m_idle.push_back(std::move(net));
    }
    m_returned.notify_one();
    return result;
}

} // namespace mendral::tfjs
