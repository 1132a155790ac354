#include "imagestats.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mendral::Analyzer {

namespace {

constexpr int grayLongSide = 320;
constexpr int minSide = 8;

int flooredSide(double exact)
{
    return std::max(minSide, int(std::trunc(exact)));
}

// Rec. 601 weights; grey input keeps its level exactly.
uchar luma(QRgb premultiplied)
{
    return uchar((qRed(premultiplied) * 299 + qGreen(premultiplied) * 587 + qBlue(premultiplied) * 114 + 500) / 1000);
}

} // namespace

QImage resized(const QImage &image, int maxDim)
{
    if (image.isNull())
        return {};
    const int w = image.width();
    const int h = image.height();
    const int m = std::max(w, h);
    if (maxDim >= m)
        return image;
    const double f = double(maxDim) / double(m);
    const int tw = flooredSide(f * w);
    const int th = flooredSide(f * h);
    // Scale in premultiplied form so transparent pixels do not bleed their colour.
    const QImage src = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    QImage out = src.scaled(tw, th, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (out.isNull())
        return {};
    return out.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

QImage centerSquare(const QImage &image)
{
    if (image.isNull())
        return {};
    const int w = image.width();
    const int h = image.height();
    const int s = std::min(w, h);
    return image.copy((w - s) / 2, (h - s) / 2, s, s);
}

QImage grayCopy(const QImage &image)
{
    return grayAt(image, grayLongSide);
}

QImage grayAt(const QImage &image, int maxSide)
{
    const int w = image.width();
    const int h = image.height();
    if (image.isNull() || w < 9 || h < 9 || maxSide < minSide)
        return {};
    const double f = std::min(double(maxSide) / double(std::max(w, h)), 1.0);
    const int gw = flooredSide(f * w);
    const int gh = flooredSide(f * h);

    // An opaque image is scaled before it is converted: a premultiplied copy of the 2400-pixel
    // rendition would cost 17 MB and as much time as the scaling.
    QImage src = image.hasAlphaChannel() ? image.convertToFormat(QImage::Format_ARGB32_Premultiplied) : image;
    if (gw != w || gh != h)
        src = src.scaled(gw, gh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    // Opaque RGB32 (what smooth scaling gives) already holds the premultiplied values.
    if (src.format() != QImage::Format_RGB32)
        src = src.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (src.isNull() || src.width() != gw || src.height() != gh)
        return {};

    // Premultiplied colour is the colour drawn over black, so transparency darkens.
    QImage gray(gw, gh, QImage::Format_Grayscale8);
    if (gray.isNull())
        return {};
    for (int y = 0; y < gh; ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(src.constScanLine(y));
        uchar *out = gray.scanLine(y);
        for (int x = 0; x < gw; ++x)
            out[x] = luma(in[x]);
    }
    return gray;
}

std::optional<GrayStats> grayStats(const QImage &image)
{
    const QImage gray = grayCopy(image);
    if (gray.isNull())
        return std::nullopt;
    const int gw = gray.width();
    const int gh = gray.height();
    const size_t n = size_t(gw) * size_t(gh);

    std::vector<float> g(n);
    for (int y = 0; y < gh; ++y) {
        const uchar *row = gray.constScanLine(y);
        for (int x = 0; x < gw; ++x)
            g[size_t(y) * gw + x] = float(row[x]);
    }

    // The one-pixel border of the Laplacian stays zero and is part of the statistics.
    std::vector<float> lap(n, 0.0f);
    for (int y = 1; y < gh - 1; ++y) {
        for (int x = 1; x < gw - 1; ++x) {
            const size_t i = size_t(y) * gw + x;
            lap[i] = g[i - 1] + g[i + 1] + g[i - gw] + g[i + gw] - 4.0f * g[i];
        }
    }

    float sum = 0, sumSquares = 0, graySum = 0;
    size_t dark = 0, bright = 0;
    for (size_t i = 0; i < n; ++i) {
        sum += lap[i];
        sumSquares += lap[i] * lap[i];
        graySum += g[i];
        dark += g[i] <= 5.0f;
        bright += g[i] >= 250.0f;
    }
    const size_t clipped = dark + bright;
    const float count = float(n);
    const float mean = sum / count;
    const float meanSquare = sumSquares / count;

    GrayStats stats;
    stats.laplacianVariance = std::max(0.0f, meanSquare - mean * mean);

    const float brightness = graySum / count / 255.0f;
    stats.brightness = brightness;
    const float clip = float(clipped) / count;
    stats.highlights = float(bright) / count;
    stats.shadows = float(dark) / count;
    // Mean brightness between 0.16 and 0.84 costs nothing; the cost grows towards black or white.
    float midTone = 0.16f;
    if (brightness >= 0.0f && brightness < 1.0f)
        midTone = std::max(0.0f, 0.16f - std::min(brightness, 1.0f - brightness));
    stats.exposureScore = std::clamp(1.0f - 2.2f * clip - 2.2f * midTone, 0.0f, 1.0f);
    return stats;
}

} // namespace mendral::Analyzer
