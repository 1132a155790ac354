#include "vision/scenecolor.h"

#include <algorithm>
#include <cmath>

namespace mendral {

namespace {

constexpr int kCells = 6;
// Chromaticities past these spans fall in the edge cells: (R − G) / sum from −0.3 to 0.3,
// (R + G − 2B) / sum from −0.45 to 0.45 hold all but the most saturated colours.
constexpr double kRedGreenSpan = 0.6, kYellowBlueSpan = 0.9;
// A pixel whose R + G + B is below this is too dark for its colour to be more than noise.
constexpr int kDarkest = 30;
// Every second pixel of every second row: a 675-pixel square gives 114,000 samples.
constexpr int kStep = 2;
// The histogram's share of the squared distance between two scene prints. The network's print
// hardly sees colour: a beige plank and a purple and green textured paper, shot 40 minutes
// apart, were 0.23 apart, nearer than the frames of many bursts, and were grouped. Measured
// on the benchmark card, shares from 0.05 to 0.3 all kept them apart without splitting any
// scene. Frames of one scene differ by at most 0.23 in histogram (half the L1 distance, the
// most for a badly exposed frame beside its burst), the plank and the paper by 0.38 to 0.43.
constexpr double kColourShare = 0.1;

double cellPosition(double value, double span)
{
    return std::clamp(value / span * kCells + kCells / 2.0 - 0.5, 0.0, kCells - 1.0);
}

} // namespace

std::vector<float> chromaHistogram(const QImage &image)
{
    if (image.isNull())
        return {};
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<double> cells(kCells * kCells, 0.0);
    double total = 0;
    for (int y = 0; y < rgb.height(); y += kStep) {
        const auto *line = reinterpret_cast<const QRgb *>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); x += kStep) {
            const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
            const int sum = r + g + b;
            if (sum < kDarkest)
                continue;
            const double fi = cellPosition(double(r - g) / sum, kRedGreenSpan);
            const double fj = cellPosition(double(r + g - 2 * b) / sum, kYellowBlueSpan);
            const int i = std::min(kCells - 2, int(fi)), j = std::min(kCells - 2, int(fj));
            const double a = fi - i, c = fj - j;
            cells[size_t(i * kCells + j)] += (1 - a) * (1 - c);
            cells[size_t((i + 1) * kCells + j)] += a * (1 - c);
            cells[size_t(i * kCells + j + 1)] += (1 - a) * c;
            cells[size_t((i + 1) * kCells + j + 1)] += a * c;
            total += 1;
        }
    }
    std::vector<float> histogram(cells.size(), 0.0f);
    if (total == 0) {
        // Grey sits on the corner of the four middle cells.
        for (int i : {kCells / 2 - 1, kCells / 2})
            for (int j : {kCells / 2 - 1, kCells / 2})
                histogram[size_t(i * kCells + j)] = 0.25f;
        return histogram;
    }
    for (size_t k = 0; k < cells.size(); ++k)
        histogram[k] = float(cells[k] / total);
    return histogram;
}

std::vector<float> withColours(const std::vector<float> &print, const std::vector<float> &histogram)
{
    const float printWeight = float(std::sqrt(1.0 - kColourShare));
    const float colourWeight = float(std::sqrt(kColourShare));
    std::vector<float> joined;
    joined.reserve(print.size() + histogram.size());
    for (float v : print)
        joined.push_back(printWeight * v);
    for (float h : histogram)
        joined.push_back(colourWeight * std::sqrt(std::max(h, 0.0f)));
    return joined;
}

} // namespace mendral
