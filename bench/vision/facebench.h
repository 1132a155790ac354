#pragma once

// Shared by the face-print benchmarks of bench/vision: ways of preparing the aligned 150-pixel
// face chip before face-api's recognition network, and how distances are summed up.

#include "vision/neural.h"
#include "vision/tfjsmodels.h"
#include "vision/tfjsnet.h"

#include <opencv2/imgproc.hpp>

#include <QImage>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace mendral::facebench {

inline float distance(const std::vector<float> &a, const std::vector<float> &b)
{
    double dot = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        dot += double(a[i]) * b[i];
    return float(std::sqrt(std::max(0.0, 2 - 2 * dot)));
}

inline cv::Mat wrap(const QImage &rgb)
{
    return cv::Mat(rgb.height(), rgb.width(), CV_8UC3, const_cast<uchar *>(rgb.constBits()),
                   size_t(rgb.bytesPerLine()));
}

inline QImage gaussian(const QImage &image, double sigma)
{
    QImage in = image.convertToFormat(QImage::Format_RGB888);
    if (sigma <= 0)
        return in;
    QImage out(in.size(), QImage::Format_RGB888);
    cv::Mat dst = wrap(out);
    cv::GaussianBlur(wrap(in), dst, cv::Size(), sigma, sigma, cv::BORDER_REFLECT101);
    return out;
}

// Down to n × n by pixel area, then back to the chip's size.
inline QImage resampled(const QImage &chip, int n)
{
    const QImage in = chip.convertToFormat(QImage::Format_RGB888);
    cv::Mat small, back;
    cv::resize(wrap(in), small, cv::Size(n, n), 0, 0, cv::INTER_AREA);
    cv::resize(small, back, cv::Size(in.width(), in.height()), 0, 0, cv::INTER_LINEAR);
    QImage out(in.size(), QImage::Format_RGB888);
    for (int y = 0; y < out.height(); ++y)
        std::copy_n(back.ptr<uchar>(y), 3 * out.width(), out.scanLine(y));
    return out;
}

/** One way of preparing the aligned chip before the network. */
struct Method {
    const char *name;
    std::function<QImage(const QImage &)> prepare;
};

/** Distances of one kind: median, 90th percentile, largest, and how many reach each gate. */
struct Summary {
    std::vector<float> v;
    void add(float d) { v.push_back(d); }
    void show(const char *label)
    {
        if (v.empty())
            return void(std::printf("    %-24s none\n", label));
        std::sort(v.begin(), v.end());
        const auto over = [&](float limit) {
            return std::count_if(v.begin(), v.end(), [&](float d) { return d >= limit; });
        };
        std::printf("    %-24s n=%-4zu median %.3f  p90 %.3f  max %.3f  ≥0.20: %3zd  ≥0.38: %3zd\n",
                    label, v.size(), v[v.size() / 2], v[v.size() * 9 / 10], v.back(), over(0.20f),
                    over(0.38f));
    }
};

inline std::vector<Method> chipMethods()
{
    return {
        {"chip as cut", [](const QImage &c) { return c; }},
        {"chip gaussian 1.0", [](const QImage &c) { return gaussian(c, 1.0); }},
        {"chip gaussian 1.5", [](const QImage &c) { return gaussian(c, 1.5); }},
        {"chip gaussian 2.0", [](const QImage &c) { return gaussian(c, 2.0); }},
        {"chip gaussian 2.5", [](const QImage &c) { return gaussian(c, 2.5); }},
        {"chip gaussian 3.0", [](const QImage &c) { return gaussian(c, 3.0); }},
        {"chip via 75 px", [](const QImage &c) { return resampled(c, 75); }},
        {"chip via 56 px", [](const QImage &c) { return resampled(c, 56); }},
        {"chip via 44 px", [](const QImage &c) { return resampled(c, 44); }},
        {"chip via 36 px", [](const QImage &c) { return resampled(c, 36); }},
    };
}

/** The unit-length print of `chip` prepared by `m`; nothing without a chip or a result. */
inline std::optional<std::vector<float>> printOf(tfjs::NetPool &net,
                                                 const std::optional<QImage> &chip, const Method &m)
{
    if (!chip)
        return std::nullopt;
    const auto out = net.run(tfjs::faceNetBlob(m.prepare(*chip)));
    if (!out || out->empty())
        return std::nullopt;
    const cv::Mat &mat = out->front();
    return neural::normalised(std::vector<float>(mat.ptr<float>(), mat.ptr<float>() + mat.total()));
}

/** face-api's recognition network from the model folder; null when it is missing. */
inline std::shared_ptr<tfjs::NetPool> faceNet()
{
    if (auto graph = tfjs::faceGraph(neural::modelDirectory()))
        return tfjs::NetPool::create(graph->graph, graph->outputs);
    return nullptr;
}

} // namespace mendral::facebench
