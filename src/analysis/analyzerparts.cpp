// The measuring functions of the analysis: prints, eyes, regions and colours.

#include "analysis/analyzer.h"

#include "analysis/imagestats.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace mendral::Analyzer {

namespace {

// A face whose lids read shut (FaceLandmarks::lidGap under shutLidGap) scores from 0 for lids
// together (gap 0.12) up to just under the closed-eye flag. dlib's outline read the benchmark
// card's blinks as open (0.47-1.0) or disagreed with itself.
constexpr float kTogetherLidGap = 0.12f, kShutScoreTop = 0.3f;

// A square of `factor` times the face's longest side around its centre (normalised units;
// in pixels it is factor·side·W wide and factor·side·H high).
NormRect squareAround(const NormRect &face, double factor)
{
    const double s = factor * std::max(face.w, face.h);
    return {face.x + face.w / 2 - s / 2, face.y + face.h / 2 - s / 2, s, s};
}

// The part of `rect` inside the image; null when there is none.
QImage cropIn(const QImage &image, const QRect &rect)
{
    const QRect inside = rect.intersected(image.rect());
    return inside.isEmpty() ? QImage() : image.copy(inside);
}

// `rect` of the image with the face in its middle even where the rectangle reaches past the
// image: the parts outside repeat the nearest edge pixels. The face print aligns the face on
// landmarks that it searches from the middle of its crop; a crop cut at the image edge shifted
// the face off the middle, and prints of one face near the edge of a re-take then differed by
// up to 0.45 (the grouping takes 0.38 as different people). Null when no part is inside.
QImage cropEdgeRepeated(const QImage &image, const QRect &rect)
{
    if (rect.intersected(image.rect()).isEmpty())
        return {};
    if (image.rect().contains(rect))
        return image.copy(rect);
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    QImage out(rect.size(), QImage::Format_RGB888);
    if (rgb.isNull() || out.isNull())
        return {};
    for (int y = 0; y < out.height(); ++y) {
        const uchar *from = rgb.constScanLine(std::clamp(rect.y() + y, 0, rgb.height() - 1));
        uchar *to = out.scanLine(y);
        for (int x = 0; x < out.width(); ++x)
            std::memcpy(to + 3 * x, from + 3 * std::clamp(rect.x() + x, 0, rgb.width() - 1), 3);
    }
    return out;
}

} // namespace

std::optional<std::vector<float>> vector(const FeaturePrint &from)
{
    const int n = from.elementCount;
    if (n < 1)
        return std::nullopt;
    const bool singles = from.elementType == 1;
    const qsizetype bytes = qsizetype(n) * (singles ? 4 : 8);
    if (from.data.size() < bytes)
        return std::nullopt;
    std::vector<float> v(static_cast<size_t>(n));
    const char *data = from.data.constData();
    for (int i = 0; i < n; ++i) {
        if (singles) {
            std::memcpy(&v[i], data + 4 * i, 4);
        } else {
            double d;
            std::memcpy(&d, data + 8 * i, 8);
            v[i] = float(d);
        }
        if (!std::isfinite(v[i]))
            return std::nullopt;
    }
    float sumSquares = 0;
    for (float x : v)
        sumSquares += x * x;
    const float r = std::sqrt(sumSquares);
    if (r > 1e-6f)
        for (float &x : v)
            x /= r;
    return v;
}

float openness(const std::vector<QPointF> &points)
{
    if (points.size() < 4)
        return 0.5f;
    double minX = points[0].x(), maxX = minX, minY = points[0].y(), maxY = minY;
    for (const QPointF &p : points) {
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
    }
    const double width = maxX - minX;
    if (width <= 0.0001)
        return 0.0f;
    const float ratio = float((maxY - minY) / width);
    return std::clamp((ratio - 0.08f) / 0.16f, 0.0f, 1.0f);
}

std::optional<float> eyeOpenScore(const FaceObservation &face, const QImage &image,
                                  const Vision &vision)
{
    if (image.isNull())
        return std::nullopt;
    const QRect rect = toPixelRect(squareAround(face.boundingBox, 1.9), image.width(), image.height());
    if (rect.width() < 24 || rect.height() < 24)
        return std::nullopt;
    const QImage scaled = resized(cropIn(image, rect), 480);
    if (scaled.isNull())
        return std::nullopt;
    const std::optional<std::vector<FaceLandmarks>> marks = vision.detectLandmarks(scaled);
    if (!marks || marks->empty())
        return std::nullopt;
    const FaceLandmarks &first = marks->front();
    const bool outline = first.eyesSteady && first.leftEye && first.rightEye && first.leftEye->size() >= 4
        && first.rightEye->size() >= 4;
    const std::optional<float> outlined =
        outline ? std::optional<float>(std::min(openness(*first.leftEye), openness(*first.rightEye))) : std::nullopt;
    if (first.lidGap && *first.lidGap < shutLidGap) {
        const float shut = kShutScoreTop
            * std::clamp((*first.lidGap - kTogetherLidGap) / (shutLidGap - kTogetherLidGap), 0.0f, 1.0f);
        return std::min(shut, outlined.value_or(shut));
    }
    return outlined;
}

std::optional<std::vector<float>> facePrint(const FaceObservation &face, const QImage &image,
                                            const Vision &vision)
{
    if (image.isNull())
        return std::nullopt;
    const QRect rect = toPixelRect(squareAround(face.boundingBox, 1.18), image.width(), image.height());
    if (rect.width() < 48 || rect.height() < 48)
        return std::nullopt;
    const QImage crop = cropEdgeRepeated(image, rect);
    if (crop.isNull())
        return std::nullopt;
    const std::optional<FeaturePrint> print = vision.faceFeaturePrint(crop);
    return print ? vector(*print) : std::nullopt;
}

NormRect hairRegion(const NormRect &face)
{
    const double cx = face.x + face.w / 2;
    return {cx - 0.55 * face.w, face.y + face.h, 1.1 * face.w, 0.55 * face.h};
}

NormRect torsoRegion(const NormRect &face)
{
    const double cx = face.x + face.w / 2;
    return {cx - 0.85 * face.w, face.y - 1.8 * face.h, 1.7 * face.w, 1.8 * face.h};
}

std::optional<std::vector<float>> colorPrint(const NormRect &region, const QImage &image)
{
    if (image.isNull())
        return std::nullopt;
    const double W = image.width(), H = image.height();
    const double left = std::max(region.minX(), 0.0) * W;
    const double right = std::min(region.maxX(), 1.0) * W;
    const double top = std::max(1.0 - region.maxY(), 0.0) * H;
    const double bottom = std::min(1.0 - region.minY(), 1.0) * H;
    if (right - left < 12 || bottom - top < 12)
        return std::nullopt;
    const int l = int(std::floor(left)), t = int(std::floor(top));
    const QImage crop = cropIn(image, QRect(l, t, int(std::ceil(right)) - l, int(std::ceil(bottom)) - t));
    if (crop.isNull())
        return std::nullopt;
    const QImage sample = crop.convertToFormat(QImage::Format_RGBA8888_Premultiplied)
                              .scaled(16, 16, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (sample.isNull() || sample.width() != 16 || sample.height() != 16)
        return std::nullopt;
    std::vector<float> histogram(64, 0.0f);
    for (int y = 0; y < 16; ++y) {
        const uchar *p = sample.constScanLine(y);
        for (int x = 0; x < 16; ++x, p += 4)
            histogram[(p[0] / 64) * 16 + (p[1] / 64) * 4 + p[2] / 64] += 1.0f;
    }
    for (float &bin : histogram)
        bin *= 1.0f / 256.0f;
    return histogram;
}

} // namespace mendral::Analyzer
