#include "analysis/analyzer.h"

#include "analysis/imagestats.h"
#include "analysis/thumbnail.h"

#include <algorithm>

namespace mendral::Analyzer {

namespace {

constexpr int kSmallSide = 900;   // statistics, scene print, eyes
constexpr int kLargeSide = 2400;  // faces, people, face prints, colours
constexpr double kMinFaceArea = 0.0012;
constexpr size_t kMaxFaces = 6;
constexpr float kMinMainFaceSide = 0.09f;

double area(const FaceObservation &f)
{
    return f.boundingBox.w * f.boundingBox.h;
}

// Both renditions from one decode: the small one is the large one scaled down, which costs
// far less than decoding the file a second time (and HEIC and RAW decodes are the dearest).
// A file too small for either size gives the same image twice, as two decodes would.
bool renditions(const QString &url, QImage &small, QImage &large)
{
    large = thumbnailImage(url, kLargeSide);
    if (large.isNull()) {
        small = thumbnailImage(url, kSmallSide);
        large = small;
        return !small.isNull();
    }
    const QSize size = boundedSize(large.size(), kSmallSide);
    small = size == large.size()
        ? large
        : large.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return !small.isNull();
}

void measureFaces(PhotoAnalysis &a, const std::vector<FaceObservation> &faces, const QImage &small,
                  const QImage &large, const Vision &vision)
{
    a.faceCount = int(faces.size());
    double side = 0;
    for (const FaceObservation &f : faces)
        side = std::max({side, f.boundingBox.w, f.boundingBox.h});
    a.mainFaceSide = float(side);

    std::vector<FaceObservation> considered;
    std::copy_if(faces.begin(), faces.end(), std::back_inserter(considered),
                 [](const FaceObservation &f) { return area(f) > kMinFaceArea; });
    std::stable_sort(considered.begin(), considered.end(),
                     [](const FaceObservation &x, const FaceObservation &y) { return area(x) > area(y); });
    if (considered.size() > kMaxFaces)
        considered.resize(kMaxFaces);
    if (considered.empty())
        return;

    float quality = 1.0f;
    for (const FaceObservation &f : considered)
        quality = std::min(quality, f.faceCaptureQuality.value_or(0.0f));
    a.faceQuality = quality;

    std::optional<float> eyes;
    for (const FaceObservation &f : considered)
        if (const std::optional<float> score = eyeOpenScore(f, small, vision))
            eyes = eyes ? std::min(*eyes, *score) : *score;
    a.eyeOpen = eyes.value_or(-1.0f);

    for (const FaceObservation &f : considered)
        if (std::optional<std::vector<float>> print = facePrint(f, large, vision))
            a.facePrints.push_back(std::move(*print));

    if (a.mainFaceSide >= kMinMainFaceSide) {
        a.hairPrint = colorPrint(hairRegion(considered[0].boundingBox), large);
        a.torsoPrint = colorPrint(torsoRegion(considered[0].boundingBox), large);
    }
}

std::optional<PhotoAnalysis> analyzeFile(const QString &url, const Vision &vision,
                                         std::vector<FaceReport> *report)
{
    if (report)
        report->clear();
    QImage small, large;
    if (!renditions(url, small, large))
        return std::nullopt;

    PhotoAnalysis a;
    const std::optional<GrayStats> stats = grayStats(small);
    a.sharpness = stats ? sharpnessFigure(*stats) : 0.0f;
    a.exposure = stats ? stats->exposureScore : 0.5f;

    const QImage square = centerSquare(small);
    if (!square.isNull())
        if (const std::optional<FeaturePrint> print = vision.sceneFeaturePrint(square))
            a.featurePrint = vector(*print);

    // One call for faces and people; when it fails, neither has results.
    if (const std::optional<FacesAndHumans> found = vision.detectFacesAndHumans(large)) {
        measureFaces(a, found->faces, small, large, vision);
        a.humanCount = std::max(0, found->humanCount);
        if (report)
            for (const FaceObservation &f : found->faces)
                report->push_back({f.boundingBox, f.faceCaptureQuality, eyeOpenScore(f, small, vision)});
    }
    return a;
}

} // namespace

float sharpnessFigure(const GrayStats &stats)
{
    const float mean = std::max(stats.brightness, 0.4f);
    return stats.laplacianVariance * (0.25f / (mean * mean));
}

std::optional<PhotoAnalysis> analyze(const QString &url, const Vision &vision)
{
    return analyzeFile(url, vision, nullptr);
}

std::optional<PhotoAnalysis> analyze(const QString &url, const Vision &vision,
                                     std::vector<FaceReport> &faces)
{
    return analyzeFile(url, vision, &faces);
}

} // namespace mendral::Analyzer
