#pragma once

// Internal to the vision module: a graph loaded into OpenCV's dnn, usable from many threads.

#include "vision/tfjsgraph.h"

#include <opencv2/dnn.hpp>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace mendral::tfjs {

/**
 * One graph, encoded once, with as many OpenCV networks made from it as threads have asked
 * for at once (a network runs one forward pass at a time). Outputs come back as OpenCV gives
 * them: 4-D tensors in NCHW order.
 */
class NetPool {
public:
    /** Nothing when OpenCV refuses the graph. */
    static std::shared_ptr<NetPool> create(const GraphDef &graph, std::vector<std::string> outputs,
                                           QString *error = nullptr);
    ~NetPool();

    /** Runs the net on an NCHW float blob; nothing when OpenCV fails (`error` says why). */
    std::optional<std::vector<cv::Mat>> run(const cv::Mat &blob, QString *error = nullptr);

    const std::vector<std::string> &outputs() const { return m_outputs; }

private:
    NetPool() = default;
    std::unique_ptr<cv::dnn::Net> makeNet(QString *error) const;

    std::string m_bytes;
    std::vector<std::string> m_outputs;
    std::mutex m_mutex;
    std::vector<std::unique_ptr<cv::dnn::Net>> m_idle;
};

/** Limits OpenCV's own threads to one, once: analyses already run side by side. */
void limitOpenCVThreads();

} // namespace mendral::tfjs
