#include "vision/facequality.h"

#include "vision/eyeoutline.h"

#include <algorithm>
#include <cmath>

namespace mendral {

namespace {

// The inner face (without hair and background edges) is measured at this fixed size, so that a
// large and a small face of equal sharpness score alike.
constexpr int kMeasureSide = 64;
constexpr double kInner = 0.7; // centre fraction of the box that is measured
// Below this sharpness part a face is blurred: the score falls in proportion. On the benchmark
// card, faces blurred on purpose (σ 6.6–10.9 pixels at 4000) read 0.04–0.20 (one of 53 read
// 0.34) and every one of those frames then scores below 0.35, the mark of a poor face; faces
// of frames in focus read 0.33–0.88, of shaken ones 0.32–0.86, and of frames blurred all over
// by σ 1.8–4.7 pixels 0.17–0.81, none of these frames below 0.35.
constexpr double kBlurredFace = 0.25;

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

EyePoints eyeOf(const FaceShape &shape, int first)
{
    EyePoints eye;
    for (int i = 0; i < 6; ++i)
        eye[i] = shape[first + i];
    return eye;
}

} // namespace

/*
 * Capture quality = 0.30 sharpness + 0.15 exposure + 0.15 frontality + 0.25 eyes
 *                 + 0.15 confidence.
 * Every part rises with what makes a face usable, so blurring, darkening or closing the eyes of
 * a face lowers its score, each by its own part (blur and darkness also lower the detector's
 * score). Sharpness and eyes weigh most: they are what a photographer culls on.
 * A face blurred out of recognition is no capture however well lit and open-eyed it looks (the
 * landmark fit even reads a blurred eye as wide open): measured at full scale, a sharpness part
 * under kBlurredFace scales the whole score down with it. With the sum alone, a face blurred by
 * 10 pixels still scored 0.52 against 0.55 for its sharp twin.
 */
double combineFaceQuality(const FaceQualityParts &p)
{
    const double sum = clamp01(0.30 * clamp01(p.sharpness) + 0.15 * clamp01(p.exposure)
                               + 0.15 * clamp01(p.frontality) + 0.25 * clamp01(p.eyes)
                               + 0.15 * clamp01(p.confidence));
    return p.sharpnessAtFullScale ? sum * std::min(1.0, clamp01(p.sharpness) / kBlurredFace) : sum;
}

double sharpnessPart(double laplacianVariance)
{
    // Half credit at a variance of 150 (squared grey levels) at the measuring size.
    const double v = std::max(0.0, laplacianVariance);
    return v / (v + 150.0);
}

double exposurePart(double meanGrey, double clippedFraction)
{
    // A bell around a mid tone: strictly falling as the face gets darker or brighter than 0.5.
    const double d = (meanGrey - 0.5) / 0.3;
    return clamp01(std::exp(-d * d) - 1.5 * std::max(0.0, clippedFraction));
}

double frontalityPart(const FaceShape &shape)
{
    // Distances from the nose tip to the jaw's two ends, along the line between them.
    const QPointF left = shape[shape68::jawFirst], right = shape[shape68::jawLast];
    const QPointF axis = right - left;
    const double len2 = axis.x() * axis.x() + axis.y() * axis.y();
    if (len2 < 1e-9)
        return 0.5;
    const QPointF n = shape[shape68::noseTip] - left;
    const double t = std::clamp((n.x() * axis.x() + n.y() * axis.y()) / len2, 0.0, 1.0);
    const double a = t, b = 1.0 - t;
    return std::max(a, b) > 0 ? std::min(a, b) / std::max(a, b) : 0.5;
}

double confidencePart(double detectorScore)
{
    const double s = std::max(0.0, detectorScore);
    return s / (s + 0.5);
}

double eyesPart(const FaceShape &shape)
{
    return eyesPart(eyeOf(shape, shape68::rightEyeFirst), eyeOf(shape, shape68::leftEyeFirst));
}

double eyesPart(const EyePoints &one, const EyePoints &other)
{
    const double r = std::min(eyeAspectRatio(one), eyeAspectRatio(other));
    // The same score the analysis gives an outline: 0.08 shut, 0.24 fully open.
    return clamp01((calibratedEyeRatio(r) - 0.08) / 0.16);
}

FaceQualityParts measureFaceQuality(const QImage &image, const QRectF &faceBox,
                                    const std::optional<FaceShape> &shape, double detectorScore)
{
    FaceQualityParts parts;
    parts.confidence = confidencePart(detectorScore);
    if (shape) {
        parts.frontality = frontalityPart(*shape);
        parts.eyes = eyesPart(*shape);
    }

    const double inset = (1.0 - kInner) / 2.0;
    const QRect inner = faceBox.adjusted(inset * faceBox.width(), inset * faceBox.height(),
                                         -inset * faceBox.width(), -inset * faceBox.height())
                            .toAlignedRect()
                            .intersected(image.rect());
    if (inner.width() < 4 || inner.height() < 4)
        return parts;
    const QImage grey = image.copy(inner)
                            .convertToFormat(QImage::Format_Grayscale8)
                            .scaled(kMeasureSide, kMeasureSide, Qt::IgnoreAspectRatio,
                                    Qt::SmoothTransformation);
    if (grey.isNull())
        return parts;
    parts.sharpnessAtFullScale = inner.width() >= kMeasureSide && inner.height() >= kMeasureSide;

    const int n = kMeasureSide;
    double sum = 0, lapSum = 0, lapSq = 0;
    int clipped = 0, lapCount = 0;
    for (int y = 0; y < n; ++y) {
        const uchar *row = grey.constScanLine(y);
        for (int x = 0; x < n; ++x) {
            sum += row[x];
            clipped += (row[x] <= 5 || row[x] >= 250);
            if (y == 0 || x == 0 || y == n - 1 || x == n - 1)
                continue;
            const double l = double(row[x - 1]) + row[x + 1] + grey.constScanLine(y - 1)[x]
                + grey.constScanLine(y + 1)[x] - 4.0 * row[x];
            lapSum += l;
            lapSq += l * l;
            ++lapCount;
        }
    }
    const double mean = lapSum / lapCount;
    parts.sharpness = sharpnessPart(std::max(0.0, lapSq / lapCount - mean * mean));
    parts.exposure = exposurePart(sum / (n * n) / 255.0, double(clipped) / (n * n));
    return parts;
}

} // namespace mendral
