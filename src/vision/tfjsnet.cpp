#include "vision/tfjsnet.h"

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
    limitOpenCVThreads();
    std::shared_ptr<NetPool> pool(new NetPool);
    if (!graph.SerializeToString(&pool->m_bytes)) {
        if (error)
            *error = "cannot encode the graph";
        return nullptr;
    }
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
        auto net = std::make_unique<cv::dnn::Net>(
            cv::dnn::readNetFromTensorflow(m_bytes.data(), m_bytes.size()));
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

std::optional<std::vector<cv::Mat>> NetPool::run(const cv::Mat &blob, QString *error)
{
    std::unique_ptr<cv::dnn::Net> net;
    {
        std::lock_guard lock(m_mutex);
        if (!m_idle.empty()) {
            net = std::move(m_idle.back());
            m_idle.pop_back();
        }
    }
    if (!net)
        net = makeNet(error);
    if (!net)
        return std::nullopt;
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
    std::lock_guard lock(m_mutex);
    m_idle.push_back(std::move(net));
    return result;
}

} // namespace mendral::tfjs
