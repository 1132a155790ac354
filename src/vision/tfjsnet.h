#pragma once

// Internal to the vision module: a graph loaded into OpenCV's dnn, usable from many threads.

#include "vision/tfjsgraph.h"

#include <opencv2/dnn.hpp>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace mendral::tfjs {

/** Makes a graph again, for each network a pool builds (reads the model's files anew). */
using GraphSource = std::function<std::optional<GraphDef>(QString *error)>;

/**
 * One graph with as many OpenCV networks made from it as threads have asked for at once (a
 * network runs one forward pass at a time). Outputs come back as OpenCV gives them: 4-D
 * tensors in NCHW order.
 */
class NetPool {
public:
    /** The graph encoded once and kept for the networks to come. Nothing when OpenCV refuses it. */
    static std::shared_ptr<NetPool> create(const GraphDef &graph, std::vector<std::string> outputs,
                                           QString *error = nullptr);
    /**
     * The graph made by `source` for each network, so that only the networks stay in memory
     * (a model's encoded graph is as large as its weights). When a later network cannot be
     * made, calls wait for one of the networks already made. Nothing when the first fails.
     */
    static std::shared_ptr<NetPool> create(GraphSource source, std::vector<std::string> outputs,
                                           QString *error = nullptr);
    ~NetPool();

    /** Runs the net on an NCHW float blob; nothing when OpenCV fails (`error` says why). */
    std::optional<std::vector<cv::Mat>> run(const cv::Mat &blob, QString *error = nullptr);

    const std::vector<std::string> &outputs() const { return m_outputs; }

private:
    using Encoder = std::function<std::optional<std::string>(QString *error)>;
    NetPool() = default;
    static std::shared_ptr<NetPool> make(Encoder bytes, std::vector<std::string> outputs, QString *error);
    std::unique_ptr<cv::dnn::Net> makeNet(QString *error) const;
    std::unique_ptr<cv::dnn::Net> takeNet(QString *error);

    Encoder m_bytes; // the encoded graph for each new network
    std::vector<std::string> m_outputs;
    std::mutex m_mutex;
    std::condition_variable m_returned;
    bool m_cannotGrow = false; // a further network could not be made: wait for one instead
    std::vector<std::unique_ptr<cv::dnn::Net>> m_idle;
};

/** Limits OpenCV's own threads to one, once: analyses already run side by side. */
void limitOpenCVThreads();

} // namespace mendral::tfjs
